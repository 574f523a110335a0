#!/bin/sh
# Usage: module_exports_test.sh TOOL MODULE
# TOOL is objdump for a Windows DLL, nm for a shared object. Fails unless the module's only
# export is ModuleEntry and, for the DLL, it imports nothing but the five Windows system DLLs
# it needs: KERNEL32, msvcrt, ole32, OLEAUT32 and USER32.
set -eu
tool=$1
module=$2
[ -f "$module" ] || { echo "missing module: $module"; exit 1; }

case "$module" in
*.dll)
    dump=$("$tool" -p "$module")
    exports=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' \
        | sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p')
    imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p')
    ;;
*)
    exports=$("$tool" -D --defined-only "$module" | awk '$2 ~ /^[TtWDdBbVvRr]$/ {print $3}')
    imports=""
    ;;
esac

status=0
echo "exports: $(echo $exports)"
if [ "$exports" != "ModuleEntry" ]; then
    echo "FAIL: the module must export ModuleEntry and nothing else"
    status=1
fi
for dll in $imports; do
    case $(echo "$dll" | tr 'A-Z' 'a-z') in
    kernel32.dll | msvcrt.dll | ole32.dll | oleaut32.dll | user32.dll)
        echo "imports $dll" ;;
    *)
        echo "FAIL: imports $dll, which is not one of the five system DLLs it needs"
        status=1 ;;
    esac
done
exit $status
