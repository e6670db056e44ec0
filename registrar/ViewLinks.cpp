#include "registrar/ViewLinks.h"
#include "support/OrdinalNames.h"
#include "support/Platform.h"

namespace {

#define LANTERWELL_VIEW_NODE "Wow6432Node"
const char kViewNode[] = LANTERWELL_VIEW_NODE;
const wchar_t kWideViewNode[] = L"" LANTERWELL_VIEW_NODE;
const int kViewNodeUnits = ARRAYSIZE(kWideViewNode) - 1;

// How WoW64 treats a key on Windows 7 and later, as the platform documents it: a key not
// listed behaves as its nearest listed ancestor.
struct ViewRule {
    const wchar_t* key;
    bool shared;
};

// Below HKLM\SOFTWARE, which the view redirects (its classes have rules of their own).
const ViewRule kSoftwareRules[] = {
    {L"Clients", true},
    {L"Microsoft\\COM3", true},
    {L"Microsoft\\Cryptography\\Calais\\Current", true},
    {L"Microsoft\\Cryptography\\Calais\\Readers", true},
    {L"Microsoft\\Cryptography\\Services", true},
    {L"Microsoft\\CTF\\SystemShared", true},
    {L"Microsoft\\CTF\\TIP", true},
    {L"Microsoft\\DFS", true},
    {L"Microsoft\\Driver Signing", true},
    {L"Microsoft\\EnterpriseCertificates", true},
    {L"Microsoft\\EventSystem", true},
    {L"Microsoft\\MSMQ", true},
    {L"Microsoft\\Non-Driver Signing", true},
    {L"Microsoft\\Notepad\\DefaultFonts", true},
    {L"Microsoft\\OLE", true},
    {L"Microsoft\\RAS", true},
    {L"Microsoft\\RPC", true},
    {L"Microsoft\\SOFTWARE\\Microsoft\\Shared Tools\\MSInfo", true},
    {L"Microsoft\\SystemCertificates", true},
    {L"Microsoft\\TermServLicensing", true},
    {L"Microsoft\\TransactionServer", true},
    {L"Microsoft\\Windows\\CurrentVersion\\App Paths", true},
    {L"Microsoft\\Windows\\CurrentVersion\\Control Panel\\Cursors\\Schemes", true},
    {L"Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers", true},
    {L"Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons", true},
    {L"Microsoft\\Windows\\CurrentVersion\\Explorer\\KindMap", true},
    {L"Microsoft\\Windows\\CurrentVersion\\Group Policy", true},
    {L"Microsoft\\Windows\\CurrentVersion\\Policies", true},
    {L"Microsoft\\Windows\\CurrentVersion\\PreviewHandlers", true},
    {L"Microsoft\\Windows\\CurrentVersion\\Setup", true},
    {L"Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations", true},
    {L"Microsoft\\Windows NT\\CurrentVersion\\Console", true},
    {L"Microsoft\\Windows NT\\CurrentVersion\\FontDpi", true},
    {L"Microsoft\\Windows NT\\CurrentVersion\\FontLink", true},
    {L"Microsoft\\Windows NT\\CurrentVersion\\FontMapper", true},
    {L"Microsoft\\Windows NT\\CurrentVersion\\Fonts", true},
    {L"Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes", true},
    {L"Microsoft\\Windows NT\\CurrentVersion\\Gre_Initialize", true},
    {L"Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options", true},
    {L"Microsoft\\Windows NT\\CurrentVersion\\Language Pack", true},
    {L"Microsoft\\Windows NT\\CurrentVersion\\NetworkCards", true},
    {L"Microsoft\\Windows NT\\CurrentVersion\\Perflib", true},
    {L"Microsoft\\Windows NT\\CurrentVersion\\Ports", true},
    {L"Microsoft\\Windows NT\\CurrentVersion\\Print", true},
    {L"Microsoft\\Windows NT\\CurrentVersion\\ProfileList", true},
    {L"Microsoft\\Windows NT\\CurrentVersion\\Time Zones", true},
    {L"Policies", true},
    {L"RegisteredApplications", true},
};

// Below the machine's classes (HKLM\SOFTWARE\Classes) and a user's (HKCU\SOFTWARE\Classes),
// which both views share.
const ViewRule kClassesRules[] = {
    {L"Appid", true},      {L"CLSID", false},      {L"DirectShow", false},      {L"HCP", true},
    {L"Interface", false}, {L"Media Type", false}, {L"MediaFoundation", false},
};

bool Same(const wchar_t* one, int oneUnits, const wchar_t* other, int otherUnits) {
    return SameKeyName({one, oneUnits}, {other, otherUnits});
}

bool Same(KeyNameText name, const wchar_t* text) {
    return Same(name.text, name.units, text, lstrlenW(text));
}

// Whether `name` starts with the components of `prefix`, and the rest of it.
bool StartsWith(KeyNameText name, const wchar_t* prefix, KeyNameText& rest) {
    const int units = lstrlenW(prefix);
    if (units > name.units || !Same(name.text, units, prefix, units))
        return false;
    if (units < name.units && name.text[units] != L'\\')
        return false;
    const int skip = units < name.units ? units + 1 : units;
    rest = {name.text + skip, name.units - skip};
    return true;
}

template <int Count> bool Shared(const ViewRule (&rules)[Count], bool unlisted, KeyNameText name) {
    int nearest = -1;
    bool shared = unlisted;
    for (const ViewRule& rule : rules) {
        KeyNameText below = {};
        const int units = lstrlenW(rule.key);
        if (units > nearest && StartsWith(name, rule.key, below)) {
            nearest = units;
            shared = rule.shared;
        }
    }
    return shared;
}

enum class ViewBase {
    None,     // no key whose view node WoW64 keeps links in
    Software, // HKLM\SOFTWARE
    Classes,  // the machine's classes or a user's
};

// The key a view node lies in. A user's classes are the hive "\REGISTRY\USER\<SID>_Classes"
// on Windows, and the key "\REGISTRY\USER\<SID>\Software\Classes" on Wine.
ViewBase BaseOf(KeyNameText base) {
    if (Same(base, L"\\REGISTRY\\MACHINE\\SOFTWARE"))
        return ViewBase::Software;
    if (Same(base, L"\\REGISTRY\\MACHINE\\SOFTWARE\\Classes"))
        return ViewBase::Classes;
    KeyNameText user = {};
    if (!StartsWith(base, L"\\REGISTRY\\USER", user) || user.units == 0)
        return ViewBase::None;
    int slash = 0;
    while (slash < user.units && user.text[slash] != L'\\')
        ++slash;
    const wchar_t kHive[] = L"_Classes";
    const int hiveUnits = ARRAYSIZE(kHive) - 1;
    if (slash == user.units)
        return slash > hiveUnits && Same(user.text + slash - hiveUnits, hiveUnits, kHive, hiveUnits)
                   ? ViewBase::Classes
                   : ViewBase::None;
    const KeyNameText below = {user.text + slash, user.units - slash};
    return slash > 0 && Same(below, L"\\Software\\Classes") ? ViewBase::Classes : ViewBase::None;
}

// Where the first view node among a name's components starts; -1 when there is none.
int ViewNodeAt(KeyNameText name) {
    for (int start = 0; start < name.units; ++start) {
        if (start > 0 && name.text[start - 1] != L'\\')
            continue;
        const int end = start + kViewNodeUnits;
        if (end <= name.units && (end == name.units || name.text[end] == L'\\') &&
            Same(name.text + start, kViewNodeUnits, kWideViewNode, kViewNodeUnits))
            return start;
    }
    return -1;
}

// Whether `target` is `base` and `rest` joined.
bool Joins(KeyNameText target, KeyNameText base, KeyNameText rest) {
    return target.units == base.units + 1 + rest.units &&
           Same(target.text, base.units, base.text, base.units) &&
           target.text[base.units] == L'\\' &&
           Same(target.text + base.units + 1, rest.units, rest.text, rest.units);
}

} // namespace

bool SameKeyName(KeyNameText one, KeyNameText other) noexcept {
    return SameNameIgnoringCase(one.text, one.units, other.text, other.units);
}

bool IsPlatformViewLink(KeyNameText link, KeyNameText target) noexcept {
    const int node = ViewNodeAt(link);
    const int restAt = node + kViewNodeUnits + 1;
    if (node <= 0 || restAt >= link.units)
        return false;
    const KeyNameText base = {link.text, node - 1};
    const KeyNameText rest = {link.text + restAt, link.units - restAt};
    const ViewBase kind = BaseOf(base);
    if (kind == ViewBase::None || ViewNodeAt(rest) >= 0)
        return false;
    KeyNameText below = {};
    if (kind == ViewBase::Software && StartsWith(rest, L"Classes", below)) {
        // The documented link reaches the classes' view node; Wine names the classes key
        // itself, below which it redirects.
        const wchar_t kClassesNode[] = L"Classes\\" LANTERWELL_VIEW_NODE;
        const KeyNameText classesNode = {kClassesNode, ARRAYSIZE(kClassesNode) - 1};
        return below.units == 0 && (Joins(target, base, classesNode) || Joins(target, base, rest));
    }
    if (!Joins(target, base, rest))
        return false;
    return kind == ViewBase::Software ? Shared(kSoftwareRules, false, rest)
                                      : Shared(kClassesRules, true, rest);
}

bool ViewLinksBelow(bool aboveMay, const char* name) noexcept {
    if (aboveMay || Platform::IsWow64())
        return true;
    return name && lstrcmpiA(name, kViewNode) == 0;
}
