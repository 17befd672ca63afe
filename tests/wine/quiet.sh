#!/usr/bin/env bash
# "Quiet" set to 1: no viewer is started and the setting is reset to "0";
# an old companion editor gets its warning.
source "$(dirname "$0")/lib.sh"
new_case quiet "${1:?usage: quiet.sh win98|nt40|win2k|winxp|winxp64|win10}"

printf '[Parameters]\r\nUninstall=\r\nQuiet=1\r\n' >"$C/tavrin/res/tavrin.ini"
printf '<html><body>Ostrel: This is Version 3.1 of the editor.</body></html>\r\n' \
  >"$C/tavrin/res/utilities/readme.html"
run_setup -- ok
check "quiet: no viewer started" test ! -s "$STARTED"
check "quiet: reset to 0" grep -q '^Quiet=0' "$C/tavrin/res/tavrin.ini"
check "old editor: the warning, captioned setup, with an OK button" grep -q \
  $'^setup\tSetup has detected you have an old version of Ostrel that is incompatible with the latest version of tavrin. The latest version of Ostrel is available free at http://www.tavrin.com/. Please upgrade.\tOK' "$BOXES"
run_setup
check "next install: the readme opens again" has "$STARTED" 'FileProtocolHandler C:\tavrin\readme.html'
finish
