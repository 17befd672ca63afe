#!/usr/bin/env python3
"""Writes the WiX source of one edition's Windows Installer package.

Usage: package_wxs.py EDITION VERSION TREE OUT.wxs

EDITION is win32 or win64, VERSION the product version ("1.0.0.1"), TREE
the folder holding the staged tavrin\\ (scripts/stage-product.sh). Every file
under TREE/tavrin becomes a file of the package under INSTALLDIR\\tavrin\\.
scripts/dist.sh builds the package from it with wixl and adds the tables
wixl does not write (see there).
"""
import hashlib
import os
import sys
from xml.sax.saxutils import quoteattr

# Fixed per edition for ever: Windows Installer finds the installed product
# of a newer package by it.
UPGRADE_CODES = {
    "win32": "6C0E2B54-8F3A-4B7E-9D61-2A4F7C1E5B01",
    "win64": "6C0E2B54-8F3A-4B7E-9D61-2A4F7C1E5B02",
}
# The components that are not files, with GUIDs of their own.
ROOT_RECORD_GUIDS = {
    "win32": "3F1D7A20-5C4B-4E8A-A1D2-7B6C5E4F3A01",
    "win64": "3F1D7A20-5C4B-4E8A-A1D2-7B6C5E4F3A02",
}
QUIET_GUIDS = {
    "win32": "9B2E4C61-0D7F-4A3B-8E5C-1F6A2D7B4C01",
    "win64": "9B2E4C61-0D7F-4A3B-8E5C-1F6A2D7B4C02",
}
WRONG_WINDOWS = {
    "win32": ("NOT VersionNT64",
              "This setup is for 32-bit Windows. Please run the 64-bit setup of tavrin."),
    "win64": ("VersionNT64",
              "This setup is for 64-bit Windows. Please run the 32-bit setup of tavrin."),
}
NO_RIGHTS = ("Installing tavrin needs administrative rights: please run this package "
             "as an administrator.")
# Folders the later tables name (dist.sh): the id is the folder's path under
# TREE.
FIXED_DIRECTORY_IDS = {
    "tavrin": "TAVRINDIR",
    "tavrin/res": "RESDIR",
    "tavrin/res/drivedir": "DRIVEDIR",
}
FIXED_FILE_IDS = {
    "tavrin/setup.exe": "SetupExe",
    "tavrin/res/tavrin.ini": "ProductIni",
}


def ident(prefix, path):
    return prefix + hashlib.md5(path.encode("utf-8")).hexdigest().upper()


def main():
    if len(sys.argv) != 5 or sys.argv[1] not in UPGRADE_CODES:
        sys.exit("usage: package_wxs.py win32|win64 VERSION TREE OUT.wxs")
    edition, version, tree, out = sys.argv[1:]
    win64 = edition == "win64"
    if not os.path.isfile(os.path.join(tree, "tavrin", "setup.exe")):
        sys.exit(f"package_wxs.py: no tavrin/setup.exe under {tree}")
    win64_attr = ' Win64="yes"' if win64 else ""
    lines = []
    out_lines = lines.append
    components = []

    def walk(rel, depth):
        full = os.path.join(tree, rel)
        pad = "  " * depth
        entries = sorted(os.listdir(full))
        for name in entries:
            path = f"{rel}/{name}"
            if os.path.isfile(os.path.join(tree, path)):
                cid = ident("cmp", path)
                fid = FIXED_FILE_IDS.get(path, ident("fil", path))
                components.append(cid)
                out_lines(f'{pad}<Component Id="{cid}" Guid="*"{win64_attr}>')
                out_lines(f'{pad}  <File Id="{fid}" KeyPath="yes" '
                          f'Source={quoteattr("$(var.SourceDir)/" + path)}/>')
                out_lines(f"{pad}</Component>")
        for name in entries:
            path = f"{rel}/{name}"
            if os.path.isdir(os.path.join(tree, path)):
                did = FIXED_DIRECTORY_IDS.get(path, ident("dir", path))
                out_lines(f'{pad}<Directory Id="{did}" Name={quoteattr(name)}>')
                walk(path, depth + 1)
                out_lines(f"{pad}</Directory>")

    out_lines('<Directory Id="TAVRINDIR" Name="tavrin">')
    walk("tavrin", 1)
    out_lines("</Directory>")
    files_xml = "\n".join("            " + line for line in lines)
    refs = "\n".join(f'      <ComponentRef Id="{c}"/>' for c in components)
    program_files = "ProgramFiles64Folder" if win64 else "ProgramFilesFolder"
    platform = "x64" if win64 else "x86"
    condition, wrong_windows = WRONG_WINDOWS[edition]
    wxs = f"""<?xml version="1.0" encoding="utf-8"?>
<!-- Written by scripts/package_wxs.py for scripts/dist.sh. -->
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="*" Name="Tavrin" Manufacturer="Tavrin Corporation" Version="{version}"
           UpgradeCode="{UPGRADE_CODES[edition]}" Language="1033" Codepage="1252">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"
             Manufacturer="Tavrin Corporation"
             Description="Tavrin print-to-PDF printer ({platform})"/>
    <Media Id="1" Cabinet="tavrin.cab" EmbedCab="yes"/>
    <MajorUpgrade DowngradeErrorMessage="A newer version of tavrin is already installed."/>
    <Property Id="ARPNOMODIFY" Value="1"/>
    <!-- An installed product's root: an upgrade or a repair stays there,
         with the users' output folders. -->
    <Property Id="INSTALLDIR">
      <RegistrySearch Id="InstalledRoot" Root="HKLM" Key="Software\Tavrin" Name="Path"
                      Type="raw"{win64_attr}/>
    </Property>
    <Condition Message="{NO_RIGHTS}">Privileged</Condition>
    <Condition Message="{wrong_windows}">{condition}</Condition>

    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="{program_files}">
        <Directory Id="INSTALLDIR" Name="Tavrin">
{files_xml}
          <!-- The install root, as setup.exe and the monitor read it: the
               folder that holds tavrin\\, with its trailing backslash. -->
          <Component Id="RootRecord" Guid="{ROOT_RECORD_GUIDS[edition]}"{win64_attr}>
            <RegistryValue Root="HKLM" Key="Software\\Tavrin" Name="Path" Type="string"
                           Value="[INSTALLDIR]" KeyPath="yes"/>
          </Component>
          <!-- Holds the product INI's "Quiet" = 1 of an install without the
               full user interface (dist.sh adds the IniFile row and the
               condition, which wixl does not write). -->
          <Component Id="QuietInstall" Guid="{QUIET_GUIDS[edition]}"{win64_attr}>
            <CreateFolder/>
          </Component>
        </Directory>
      </Directory>
    </Directory>

    <Feature Id="Product" Title="Tavrin" Level="1">
{refs}
      <ComponentRef Id="RootRecord"/>
      <ComponentRef Id="QuietInstall"/>
    </Feature>

    <!-- setup.exe from the installed tree, once, awaited, as LocalSystem:
         its exit code fails the install (and rolls it back). -->
    <CustomAction Id="TavrinSetup" FileKey="SetupExe" ExeCommand="/package"
                  Execute="deferred" Impersonate="no" Return="check"/>
    <!-- The silent uninstall, before the files go. -->
    <CustomAction Id="TavrinUninstall" FileKey="SetupExe" ExeCommand="/package-uninstall"
                  Execute="deferred" Impersonate="no" Return="ignore"/>
    <InstallExecuteSequence>
      <Custom Action="TavrinUninstall" Before="RemoveFiles">REMOVE~="ALL"</Custom>
      <Custom Action="TavrinSetup" Before="InstallFinalize">NOT REMOVE~="ALL"</Custom>
    </InstallExecuteSequence>
  </Product>
</Wix>
"""
    with open(out, "w", encoding="utf-8") as f:
        f.write(wxs)


if __name__ == "__main__":
    main()
