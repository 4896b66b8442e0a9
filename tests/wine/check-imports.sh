#!/usr/bin/env bash
# Build check: every Windows program and DLL of the build folder imports only the system's own DLLs.
#   check-imports.sh OBJDUMP BUILD_DIR
# A libgcc, libstdc++ or winpthread DLL (or any other non-system DLL) in an import table fails.
set -euo pipefail
objdump="$1"
build="$(cd "$2" && pwd)"

allowed=" kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll shlwapi.dll ole32.dll
  oleaut32.dll comctl32.dll comdlg32.dll uxtheme.dll version.dll msvcrt.dll ntdll.dll rpcrt4.dll msi.dll
  ws2_32.dll bcrypt.dll crypt32.dll ucrtbase.dll userenv.dll "
# One space between names, so a name at a line's end matches too.
allowed=" $(echo $allowed) "

binaries=()
while IFS= read -r -d '' f; do binaries+=("$f"); done < <(
    find "$build" \( -path "$build/wine" -o -path "$build/wine-*" -o -path '*/CMakeFiles' \) -prune -o \
         -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0 | sort -z)
[ "${#binaries[@]}" -gt 0 ] || { echo "no Windows binaries under $build" >&2; exit 1; }

bad=0
for f in "${binaries[@]}"; do
    dlls="$("$objdump" -p "$f" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | tr -d '\r')"
    [ -n "$dlls" ] || { echo "FAIL ${f#$build/}: no import table found"; bad=1; continue; }
    for d in $dlls; do
        case "$d" in api-ms-win-crt-*.dll|api-ms-win-core-*.dll) continue ;; esac
        if [[ "$allowed" != *" $d "* ]]; then
            echo "FAIL ${f#$build/} imports $d"
            bad=1
        fi
    done
    echo "ok   ${f#$build/}: $(echo $dlls)"
done
exit $bad
