#!/usr/bin/env bash
# noctiva.exe carries its manifest and Wine reads it, in the virtual desktop (scripts/vdesk.sh):
#
#   manifest_e2e.sh BIN_DIR OUT_DIR
#
# The manifest resource must name Windows 7, 8, 8.1 and 10/11 as supported; Wine's loader must
# read per-monitor DPI awareness (version 2, then 1) and long-path awareness from it when the
# player starts (WINEDEBUG=trace+actctx). The player is ended once the loader has read it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh" "$1" "" "$2/manifest"

exe="$e2e_bin/noctiva.exe"
python3 - "$exe" <<'PY' || fail "the manifest resource lacks an entry"
import re, sys
data = open(sys.argv[1], "rb").read()
found = re.search(rb"<assembly .*?</assembly>", data, re.S)
if not found:
    sys.exit("no manifest in " + sys.argv[1])
text = found.group(0).decode("utf-8")
wanted = {
    "Windows 7": "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
    "Windows 8": "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
    "Windows 8.1": "1f676c76-80e1-4239-95bb-83d0f6d0da78",
    "Windows 10 and 11": "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a",
}
missing = [name for name, guid in wanted.items()
           if not re.search(r'<supportedOS Id="\{' + guid + r'\}"', text, re.I)]
print("supportedOS missing:", ", ".join(missing) if missing else "none")
sys.exit(1 if missing else 0)
PY

trace="$e2e_out/actctx.txt"
dir=$(player_folder player "")
(cd "$dir" && WINEDEBUG=trace+actctx exec wine ./noctiva.exe 2>"$trace") &
player_pid=$!
expected=(
  'got L"dpiAwareness" L"PerMonitorV2, PerMonitor"'
  'got L"dpiAware" L"true/pm"'
  'got L"longPathAware" L"true"'
)
deadline=$((SECONDS + 30))
read_all() {
  local line
  for line in "${expected[@]}"; do grep -aqF "$line" "$trace" || return 1; done
}
until read_all; do
  ((SECONDS < deadline)) || break
  sleep 0.2
done
end_player_left_running
for line in "${expected[@]}"; do
  if grep -aqF "$line" "$trace"; then echo "read: $line"; else fail "Wine did not read: $line"; fi
done
echo "PASS: manifest"
