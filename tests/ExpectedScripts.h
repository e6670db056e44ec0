#pragma once

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
    "\t\tCLSID = s '{5B1D7E20-3C44-4A8F-9E61-2F0A7C9D4B13}'\r\n"
    "\t}\r\n"
    "\tLanterwell.ShellExtension = s 'ShellExtension Class'\r\n"
    "\t{\r\n"
    "\t\tCLSID = s '{5B1D7E20-3C44-4A8F-9E61-2F0A7C9D4B13}'\r\n"
    "\t\tCurVer = s 'Lanterwell.ShellExtension.1'\r\n"
    "\t}\r\n"
    "\tNoRemove CLSID\r\n"
    "\t{\r\n"
    "\t\tForceRemove {5B1D7E20-3C44-4A8F-9E61-2F0A7C9D4B13} = s 'ShellExtension Class'\r\n"
    "\t\t{\r\n"
    "\t\t\tProgID = s 'Lanterwell.ShellExtension.1'\r\n"
    "\t\t\tVersionIndependentProgID = s 'Lanterwell.ShellExtension'\r\n"
    "\t\t\tForceRemove 'Programmable'\r\n"
    "\t\t\tInprocServer32 = s '%MODULE%'\r\n"
    "\t\t\t{\r\n"
    "\t\t\t\tval ThreadingModel = s 'Apartment'\r\n"
    "\t\t\t}\r\n"
    "\t\t\tval AppID = s '%APPID%'\r\n"
    "\t\t\t'TypeLib' = s '{3E9F4C61-0B7A-4D25-A8C3-7F16E2B9D054}'\r\n"
    "\t\t}\r\n"
    "\t}\r\n"
    "\tNoRemove Folder\r\n"
    "\t{\r\n"
    "\t\tNoRemove ShellEx\r\n"
    "\t\t{\r\n"
    "\t\t\tNoRemove ContextMenuHandlers\r\n"
    "\t\t\t{\r\n"
    "\t\t\t\tForceRemove Lanterwell = s '{5B1D7E20-3C44-4A8F-9E61-2F0A7C9D4B13}'\r\n"
    "\t\t\t}\r\n"
    "\t\t}\r\n"
    "\t}\r\n"
    "}\r\n";

} // namespace expected
