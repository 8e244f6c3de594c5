#!/usr/bin/env bash
# The deployment files in deploy/, as far as they run here: the Group
# Policy start-up script under Wine's cmd (the program copied to Program
# Files and run from there, its exit code passed on, one log per machine
# named after it, a second boot's line beside the first), and the Event
# Forwarding subscription and the Ansible playbook read as their tools
# read them. PowerShell, Group Policy and Ansible themselves do not run here.
# tests/e2e/deploy_test.sh   (after the 64-bit Windows build)
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/wine-env
bin=build/mingw64/bin
drive=$WINEPREFIX/drive_c
system32=$drive/windows/system32
installed="$drive/Program Files/Kolvane/KolvaneBackdoorHeliosB.exe"
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
ok() { [ "$failures" != 0 ] || echo "ok: $*"; }

# The policy's folder in SYSVOL, with the script and the program.
policy=$drive/kolvane-policy/Machine/Scripts/Startup
logs=$drive/kolvane-logs
rm -rf "$drive/kolvane-policy" "$logs" "$(dirname "$installed")"
mkdir -p "$policy" "$logs"
cp deploy/kolvane-startup.cmd "$bin/KolvaneBackdoorHeliosB.exe" "$policy/"
script='C:\kolvane-policy\Machine\Scripts\Startup\kolvane-startup.cmd'
computer=$(wine64 cmd /c 'echo %COMPUTERNAME%' 2>/dev/null | tr -d '\r')
log=$logs/$computer.log
# startup [LOG-FOLDER]: runs the script as Group Policy does; its exit
# code, whole (a Linux process's is cut to 8 bits, 3010 to 194; and Wine's
# "call" of a batch file gives 1 for any "exit /b", which Windows' does not).
startup() {
  timeout 120 "$KOLVANE_WINE64" cmd /v:on /c "$script $* & echo exit code !errorlevel!" 2>/dev/null | tr -d '\r' |
    sed -n 's/^exit code //p' || true
}

wineserver -k >/dev/null 2>&1 || true
truncate -s 110592 "$system32/ssvchost.exe"
wine64 reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' /v ssvchost \
  /d 'C:\windows\system32\ssvchost.exe' /f >/dev/null 2>&1
code=$(startup 'C:\kolvane-logs')
[ "$code" = 0 ] || fail "the first boot: exit code $code, not 0"
[ ! -e "$system32/ssvchost.exe" ] || fail "the first boot left the backdoor's file"
cmp -s "$installed" "$bin/KolvaneBackdoorHeliosB.exe" || fail "the program is not in Program Files"
[ -n "$computer" ] && [ -f "$log" ] || fail "no log named after the machine ($computer.log): $(ls "$logs")"
grep -q $'\t/basmi\tdihapus\tditemukan: C:\\\\windows\\\\system32\\\\ssvchost.exe .*\t0\r$' "$log" ||
  fail "the first boot's line: $(cat "$log" 2>/dev/null)"
ok "the start-up script removes the backdoor from Program Files, with a log named after the machine"

code=$(startup 'C:\kolvane-logs')
[ "$code" = 0 ] || fail "the second boot: exit code $code, not 0"
[ "$(wc -l <"$log")" = 2 ] && tail -n 1 "$log" | grep -q $'\t/basmi\tbersih\ttidak ditemukan\t0\r$' ||
  fail "the second boot's line is not beside the first: $(cat "$log")"
ok "a second boot appends its line"

# What the program's exit code is, the script's is: a stand-in for the
# program that ends with the code it is given.
cp "$bin/threat_standin.exe" "$policy/KolvaneBackdoorHeliosB.exe"
for expected in 3010 5 87; do
  code=$(KOLVANE_STANDIN_EXIT=$expected WINEDEBUG=-all startup)
  [ "$code" = "$expected" ] || fail "the program ended with $expected, the script with $code"
done
ok "the script ends with the program's exit code"
# A program that is not in the policy's folder (not replicated yet): no
# copy, nothing runs, 1.
rm "$policy/KolvaneBackdoorHeliosB.exe"
code=$(startup 'C:\kolvane-logs')
[ "$code" = 1 ] || fail "no program to copy: exit code $code, not 1"
[ "$(wc -l <"$log")" = 2 ] || fail "a run went on without its copy: $(cat "$log")"
ok "no program to copy: nothing runs, and the script ends with 1"
rm -rf "$drive/kolvane-policy" "$logs" "$(dirname "$installed")"

# The subscription as wecutil reads it: the outer XML, and the query
# inside it as XML of its own.
/usr/bin/python3 - deploy/kolvane-subscription.xml <<'PY' || fail "the subscription"
import sys, xml.etree.ElementTree as ET
ns = {"s": "http://schemas.microsoft.com/2006/03/windows/events/subscription"}
root = ET.parse(sys.argv[1]).getroot()
def field(name):
    return root.find("s:" + name, ns).text
assert field("SubscriptionType") == "SourceInitiated"
assert field("ReadExistingEvents") == "true", "only new records would be forwarded"
select = ET.fromstring(field("Query").strip()).find("Query/Select")
assert select.get("Path") == "Application"
assert "Provider[@Name='Kolvane']" in select.text and "Security[@UserID='S-1-5-18']" in select.text, select.text
PY
ok "the subscription reads as XML, with its query, ReadExistingEvents and SYSTEM's records only"

# The playbook as YAML, each task one module of ansible.windows.
/usr/bin/python3 - deploy/kolvane.yml <<'PY' || fail "the playbook"
import sys, yaml
plays = yaml.safe_load(open(sys.argv[1]))
for task in plays[0]["tasks"]:
    modules = [key for key in task if key.startswith("ansible.windows.")]
    assert len(modules) == 1, task
PY
ok "the playbook reads as YAML"

wineserver -k >/dev/null 2>&1 || true
[ "$failures" = 0 ] || exit 1
echo "deployment files: as they run here"
