#pragma once
#include "LanterwellIds.h"

// The registry scripts exactly as the module must carry them.
namespace expected {

inline const char kAppIdScript[] = "HKCR\r\n"
                                   "{\r\n"
                                   "\tNoRemove AppID\r\n"
                                   "\t{\r\n"
                                   "\t\t'%APPID%' = s 'Lanterwell'\r\n"
                                   "\t\t'Lanterwell.DLL'\r\n"
                                   "\t\t{\r\n"
                                   "\t\t\tval AppID = s '%APPID%'\r\n"
                                   "\t\t}\r\n"
                                   "\t}\r\n"
                                   "}\r\n";

inline const char kClassScript[] =
    "HKCR\r\n"
    "{\r\n"
    "\tLanterwell.ShellExtension.1 = s 'ShellExtension Class'\r\n"
    "\t{\r\n"
    "\t\tCLSID = s '" LANTERWELL_CLSID_SHELL_EXTENSION_TEXT "'\r\n"
    "\t}\r\n"
    "\tLanterwell.ShellExtension = s 'ShellExtension Class'\r\n"
    "\t{\r\n"
    "\t\tCLSID = s '" LANTERWELL_CLSID_SHELL_EXTENSION_TEXT "'\r\n"
    "\t\tCurVer = s 'Lanterwell.ShellExtension.1'\r\n"
    "\t}\r\n"
    "\tNoRemove CLSID\r\n"
    "\t{\r\n"
    "\t\tForceRemove " LANTERWELL_CLSID_SHELL_EXTENSION_TEXT " = s 'ShellExtension Class'\r\n"
    "\t\t{\r\n"
    "\t\t\tProgID = s 'Lanterwell.ShellExtension.1'\r\n"
    "\t\t\tVersionIndependentProgID = s 'Lanterwell.ShellExtension'\r\n"
    "\t\t\tForceRemove 'Programmable'\r\n"
    "\t\t\tInprocServer32 = s '%MODULE%'\r\n"
    "\t\t\t{\r\n"
    "\t\t\t\tval ThreadingModel = s 'Apartment'\r\n"
    "\t\t\t}\r\n"
    "\t\t\tval AppID = s '%APPID%'\r\n"
    "\t\t\t'TypeLib' = s '" LANTERWELL_LIBID_LANTERWELL_TEXT "'\r\n"
    "\t\t}\r\n"
    "\t}\r\n"
    "\tNoRemove Folder\r\n"
    "\t{\r\n"
    "\t\tNoRemove ShellEx\r\n"
    "\t\t{\r\n"
    "\t\t\tNoRemove ContextMenuHandlers\r\n"
    "\t\t\t{\r\n"
    "\t\t\t\tForceRemove Lanterwell = s '" LANTERWELL_CLSID_SHELL_EXTENSION_TEXT "'\r\n"
    "\t\t\t}\r\n"
    "\t\t}\r\n"
    "\t}\r\n"
    "}\r\n";

} // namespace expected
