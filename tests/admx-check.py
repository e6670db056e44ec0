#!/usr/bin/env python3
"""Checks the Group Policy templates against the ADMX format's published rules (the policy
definition schema published for the Group Policy registry extension, MS-GPREG) and the constraints
Intune documents for imported templates, and against the policies the programs read
(support/Policy.h): namespaces and versions, the target prefix and namespace, every reference
(categories, supportedOn, strings, presentations, list elements) defined, in both languages,
the child elements in the schema's order, every key below Software\\Policies\\Lanterwell.
usage: admx-check.py POLICY-DIR POLICY-HEADER"""
import os
import re
import sys
import xml.etree.ElementTree as ET

NAMESPACE = "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"
N = "{" + NAMESPACE + "}"
LANGUAGES = ("en-US", "ja-JP")
VERSION = re.compile(r"[0-9]+\.[0-9]+$")
ITEM_NAME = re.compile(r"[A-Za-z_][A-Za-z0-9_.]*$")
# A policy's children, in the order the schema's sequence gives them.
POLICY_ORDER = ("annotation", "parentCategory", "seeAlso", "keywords", "supportedOn",
                "enabledValue", "disabledValue", "enabledList", "disabledList", "elements")
# Where Intune lets no imported template write.
FORBIDDEN_KEYS = ("system\\", "software\\microsoft\\", "software\\policies\\microsoft\\")
# The most Intune imports.
LARGEST_ADMX = 1024 * 1024
problems = []


def problem(text):
    problems.append(text)


def local(tag):
    return tag[len(N):] if tag.startswith(N) else tag


def reference(text, kind):
    match = re.fullmatch(r"\$\(" + kind + r"\.([A-Za-z0-9_.]+)\)", text or "")
    return match[1] if match else None


def header_names(path):
    """The key and value names the programs read, from support/Policy.h."""
    with open(path, encoding="utf-8") as source:
        text = source.read()
    found = dict(re.findall(r'const wchar_t (k\w+)\[\] = L"([^"]*)";', text))
    return {name: value.replace("\\\\", "\\") for name, value in found.items()}


def check_root(root, tag, name):
    if root.tag != N + tag:
        problem(f"{name}: the root is {root.tag}, not {tag} in {NAMESPACE}")
    for attribute in ("revision", "schemaVersion"):
        if not VERSION.match(root.get(attribute, "")):
            problem(f"{name}: {attribute} is no version (n.n)")


def check_admx(path, names):
    if os.path.getsize(path) > LARGEST_ADMX:
        problem("Lanterwell.admx: larger than Intune imports")
    root = ET.parse(path).getroot()
    check_root(root, "policyDefinitions", "Lanterwell.admx")
    targets = root.findall(f"{N}policyNamespaces/{N}target")
    if len(targets) != 1 or not all(targets[0].get(a) for a in ("prefix", "namespace")):
        problem("Lanterwell.admx: not one target with a prefix and a namespace")
    if root.findall(f"{N}policyNamespaces/{N}using"):
        problem("Lanterwell.admx: depends on another template (Intune imports it alone)")
    if root.find(f"{N}resources") is None or not VERSION.match(
            root.find(f"{N}resources").get("minRequiredRevision", "")):
        problem("Lanterwell.admx: no resources with minRequiredRevision")
    strings, presentations = set(), {}
    supported = {d.get("name") for d in root.iter(N + "definition")}
    for definition in root.iter(N + "definition"):
        strings.add(reference(definition.get("displayName"), "string"))
    categories = set()
    for category in root.iter(N + "category"):
        categories.add(category.get("name"))
        strings.add(reference(category.get("displayName"), "string"))
    if not categories:
        problem("Lanterwell.admx: no category")
    policies = root.findall(f"{N}policies/{N}policy")
    if not policies:
        problem("Lanterwell.admx: no policy")
    seen = set()
    read = {names["kKey"]}
    for policy in policies:
        name = policy.get("name", "")
        if not ITEM_NAME.match(name) or name in seen:
            problem(f"{name}: a name that is no item name, or a second policy of it")
        seen.add(name)
        if policy.get("class") not in ("Machine", "User", "Both"):
            problem(f"{name}: class is not Machine, User or Both")
        for attribute in ("displayName", "explainText"):
            string = reference(policy.get(attribute), "string")
            if not string:
                problem(f"{name}: {attribute} is no $(string.…)")
            strings.add(string)
        order = [POLICY_ORDER.index(local(child.tag)) if local(child.tag) in POLICY_ORDER
                 else -1 for child in policy]
        if -1 in order or order != sorted(order):
            problem(f"{name}: children out of the schema's order")
        if policy.find(f"{N}supportedOn") is None or \
                policy.find(f"{N}supportedOn").get("ref") not in supported:
            problem(f"{name}: no supportedOn that a definition names")
        parent = policy.find(f"{N}parentCategory")
        if parent is None or parent.get("ref") not in categories:
            problem(f"{name}: no parent category that the file defines")
        keys = [policy.get("key", "")] + [e.get("key") for e in policy.iter() if e.get("key")]
        for key in keys:
            if not key.lower().startswith(names["kKey"].lower()):
                problem(f"{name}: a key outside {names['kKey']}: {key}")
            if key.lower().startswith(FORBIDDEN_KEYS):
                problem(f"{name}: a key Intune refuses: {key}")
        values = [policy.get("valueName")] + [e.get("valueName") for e in policy.iter()]
        read.update(v for v in values if v)
        elements = {e.get("id") for e in policy.findall(f"{N}elements/*")}
        read.update(e.get("key").rsplit("\\", 1)[1] for e in policy.findall(f"{N}elements/*")
                    if e.get("key"))
        if elements:
            presentation = reference(policy.get("presentation"), "presentation")
            if not presentation:
                problem(f"{name}: elements without a $(presentation.…)")
            presentations[presentation] = elements
        for switch in ("enabledValue", "disabledValue"):
            value = policy.find(f"{N}{switch}/{N}decimal")
            if policy.find(f"{N}{switch}") is not None and value is None:
                problem(f"{name}: {switch} is no decimal")
    # Every name the programs read has its policy, and every policy writes a name they read.
    expected = {value for key, value in names.items() if key != "kKey"}
    if read - {names["kKey"]} != expected:
        problem(f"the policies write {sorted(read - {names['kKey']})}, the programs read "
                f"{sorted(expected)}")
    return strings - {None}, presentations


def check_adml(path, strings, presentations, language):
    root = ET.parse(path).getroot()
    check_root(root, "policyDefinitionResources", language)
    table = {s.get("id"): (s.text or "") for s in root.iter(N + "string")}
    for string in sorted(strings - set(table)):
        problem(f"{language}: no string {string}")
    for string in sorted(set(table) - strings):
        problem(f"{language}: string {string} that nothing uses")
    for string, text in table.items():
        if not text.strip():
            problem(f"{language}: string {string} is empty")
    found = {p.get("id"): {e.get("refId") for e in p} for p in root.iter(N + "presentation")}
    for presentation, elements in presentations.items():
        if found.get(presentation) != elements:
            problem(f"{language}: presentation {presentation} does not show exactly "
                    f"{sorted(elements)}")


def main():
    folder, header = sys.argv[1:3]
    names = header_names(header)
    strings, presentations = check_admx(os.path.join(folder, "Lanterwell.admx"), names)
    for language in LANGUAGES:
        check_adml(os.path.join(folder, language, "Lanterwell.adml"), strings, presentations,
                   language)
    for text in problems:
        print("admx-check:", text)
    print(f"admx-check: {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
