#!/usr/bin/env bash
# The event log, driven as an administrator's script drives the program:
# each switch run writes one record with the event ID and the type of its
# outcome word and the run's own texts, and registers the program as the
# records' message file only from a folder that only administrators can
# change (which Wine has none of: it makes the Wine user the owner of
# every folder, so that side is shown against injected rights in
# tests/win). Wine's event log is a stub that prints every record it is
# given (advapi's fixme line: type 4 information, 2 warning, 1 error, then
# the event ID, then the account's SID, which must be there; one eventlog
# line per text). Runs the 64-bit build through
# every case, as it costs no emulation, and the 32-bit release through one
# where 32-bit programs run natively.
# tests/e2e/event_log_test.sh   (after the Windows builds; Xvfb not needed)
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/wine-env
program64=build/mingw64/bin/KolvaneBackdoorHeliosB.exe
program32=build/mingw/bin/KolvaneBackdoorHeliosB.exe
system32="$WINEPREFIX/drive_c/windows/system32"
run_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
source_key='HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\Kolvane'
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# The threat's file and its Run value, or neither.
plant() {
  truncate -s 110592 "$system32/ssvchost.exe"
  wine64 reg add "$run_key" /v ssvchost /d 'C:\windows\system32\ssvchost.exe' /f >/dev/null 2>&1
}
clear_threat() {
  rm -f "$system32/ssvchost.exe"
  wine64 reg delete "$run_key" /v ssvchost /f >/dev/null 2>&1 || true
}

# check NAME LOADER PROGRAM ARGUMENT CODE TYPE ID TEXT...
check() {
  local name=$1 loader=$2 program=$3 argument=$4 code=$5 type=$6 id=$7 out got records texts
  shift 7
  out=$(WINEDEBUG=fixme+advapi,+eventlog timeout 300 "$loader" "$program" "$argument" 2>&1 | tr -d '\r') && got=0 ||
    got=$?
  [ "$got" = "$code" ] || fail "$name: exit code $got, not $code"
  records=$(grep -c 'fixme:advapi:ReportEventW' <<<"$out" || true)
  [ "$records" = 1 ] || fail "$name: $records records, not one"
  grep -q "fixme:advapi:ReportEventW ([0-9A-F]*,0x000$type,0x0000,0x0000000$id," <<<"$out" ||
    fail "$name: no record of type $type and event ID $id in: $(grep ReportEventW <<<"$out" | head -n 1)"
  # The fifth argument is the account's SID: every record names who wrote it.
  grep -Eq 'fixme:advapi:ReportEventW \([0-9A-F]*,[^,]*,[^,]*,[^,]*,0*[1-9A-F][0-9A-F]*,' <<<"$out" ||
    fail "$name: the record names no account (no SID) in: $(grep ReportEventW <<<"$out" | head -n 1)"
  # Wine writes each text escaped, a backslash as two.
  texts=$(sed -n 's/^[0-9a-f]*:[a-z]*:eventlog:ReportEventW L"\(.*\)"$/\1/p' <<<"$out" | sed 's/\\\\/\\/g')
  [ "$texts" = "$(printf '%s\n' "$@")" ] || fail "$name: the record's texts are
$texts
not
$(printf '%s\n' "$@")"
  [ "$failures" != 0 ] || echo "ok: $name"
}

wineserver -k >/dev/null 2>&1 || true
clear_threat
wine64 reg delete "$source_key" /f >/dev/null 2>&1 || true

# The program as a user runs it from a folder every user may write (a
# Downloads folder; Wine gives 0777 the rights of one): it never registers
# itself as the records' message file, which would let that folder's owner
# decide the texts of every record, and it takes away a registration of
# such a file that an earlier run left.
open_dir="$WINEPREFIX/drive_c/users/Public/kolvane-open"
mkdir -p "$open_dir"
chmod 0777 "$open_dir"
cp "$program64" "$open_dir/KolvaneBackdoorHeliosB.exe"
registered() {
  wine64 reg query "$source_key" /v EventMessageFile 2>/dev/null | tr -d '\r' |
    sed -n 's/^ *EventMessageFile *REG_SZ *//p' || true
}
check "clean machine: information, bersih" "$KOLVANE_WINE64" "$open_dir/KolvaneBackdoorHeliosB.exe" /scan 0 4 1 \
  /scan bersih "tidak ditemukan" 0
[ -z "$(registered)" ] || fail "a run from a folder every user may write registered \"$(registered)\""
wine64 reg add "$source_key" /v EventMessageFile /d 'C:\users\Public\kolvane-open\KolvaneBackdoorHeliosB.exe' \
  /f >/dev/null 2>&1
check "the same, with that folder registered before" "$KOLVANE_WINE64" "$open_dir/KolvaneBackdoorHeliosB.exe" /scan \
  0 4 1 /scan bersih "tidak ditemukan" 0
[ -z "$(registered)" ] || fail "the registration of a folder every user may write stayed: \"$(registered)\""
rm -rf "$open_dir"

plant
check "threat found: warning, ditemukan" "$KOLVANE_WINE64" "$program64" -SCAN 1 2 2 /scan ditemukan \
  'ditemukan: C:\windows\system32\ssvchost.exe HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run\ssvchost' 1
check "threat removed: information, dihapus" "$KOLVANE_WINE64" "$program64" /basmi 0 4 3 /basmi dihapus \
  'ditemukan: C:\windows\system32\ssvchost.exe HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run\ssvchost; file dan registry dihapus' 0
[ ! -e "$system32/ssvchost.exe" ] || fail "/basmi left the threat's file"
check "a switch line that is not right: error, tidak-diperiksa" "$KOLVANE_WINE64" "$program64" /scna 87 1 6 "baris perintah" \
  tidak-diperiksa "perlu /scan, /basmi atau /remove; tidak ada yang diubah" 87
# Where qemu runs Wine's 32-bit half, one more 32-bit process costs minutes;
# there the signed release's own flows (which write records too) stand in.
kolvane_32bit
if [ -z "$KOLVANE_32BIT_EMULATED" ]; then
  check "the 32-bit release: information, bersih" wine "$program32" /remove 0 4 1 /remove bersih \
    "registry dikembalikan" 0
else
  echo "skipped where 32-bit Wine is emulated: the 32-bit release's record"
fi

clear_threat
wineserver -k >/dev/null 2>&1 || true
[ "$failures" = 0 ] || exit 1
echo "event log: every record as its outcome word says"
