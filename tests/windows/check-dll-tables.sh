#!/bin/sh
# Checks the export and import tables of the built VR-C.dll:
#   check-dll-tables.sh <mingw objdump> <VR-C.dll>
#   check-dll-tables.sh <mingw objdump> <binary> --exports <name>...
# - VSTPluginMain is exported at ordinal 1 and main at ordinal 2, both at the
#   same address (one function under two names), and nothing else; with
#   --exports, exactly the names given are exported (a VST3 bundle's binary);
# - every imported DLL is a Windows system DLL, so the library runs on a bare
#   Windows machine (no libstdc++, libgcc or winpthread DLLs beside it).
set -eu
objdump=$1
dll=$2

tables=$("$objdump" -p "$dll")
fail=0

# objdump lists the export address table as "[   0] +base[   1] 1930 Export RVA"
# and the name table as "[   0] VSTPluginMain", the index being the ordinal
# less the ordinal base (newer versions print "+base[   1]" there as well).
base=$(printf '%s\n' "$tables" | sed -n 's/^Export Address Table -- Ordinal Base \([0-9]*\).*/\1/p' | head -n 1)
base=${base:-1}
ordinal_of() {
    printf '%s\n' "$tables" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^[[:space:]]*\[ *\([0-9]*\)\] \(+base\[ *[0-9]*\] *[0-9a-f]* \)\{0,1\}\([^ ]*\)$/\1 \3/p' |
        awk -v name="$1" -v base="$base" '$2 == name { print $1 + base }'
}
rva_of_ordinal() {
    printf '%s\n' "$tables" |
        sed -n 's/^[[:space:]]*\[ *[0-9]*\] +base\[ *\([0-9]*\)\] *\([0-9a-f]*\) Export RVA.*/\1 \2/p' |
        awk -v ord="$1" '$1 == ord { print $2 }'
}

if [ "${3:-}" = "--exports" ]; then
    shift 3
    exports=$(printf '%s\n' "$tables" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        awk '/^[[:space:]]+\[/ { print $NF }' | sort | tr '\n' ' ')
    wanted=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
    echo "exports: $exports"
    [ "$exports" = "$wanted" ] || { echo "FAIL: the exports must be exactly: $wanted"; fail=1; }
else
    vst_ordinal=$(ordinal_of VSTPluginMain)
    main_ordinal=$(ordinal_of main)
    echo "exports: VSTPluginMain at ordinal ${vst_ordinal:-none}, main at ordinal ${main_ordinal:-none}"
    [ "$vst_ordinal" = 1 ] || { echo "FAIL: VSTPluginMain must be ordinal 1"; fail=1; }
    [ "$main_ordinal" = 2 ] || { echo "FAIL: main must be ordinal 2"; fail=1; }

    vst_rva=$(rva_of_ordinal 1)
    main_rva=$(rva_of_ordinal 2)
    echo "addresses: ordinal 1 at ${vst_rva:-none}, ordinal 2 at ${main_rva:-none}"
    if [ -z "$vst_rva" ] || [ "$vst_rva" != "$main_rva" ]; then
        echo "FAIL: both entry points must be the same function"
        fail=1
    fi

    # Nothing else: a host binding names globally must not reach the framework's
    # own entry point or any other code of the DLL.
    other_exports=$(printf '%s\n' "$tables" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        awk '/^[[:space:]]+\[/ && $NF != "VSTPluginMain" && $NF != "main" { print $NF }')
    [ -z "$other_exports" ] || { echo "FAIL: further exports: $(echo $other_exports)"; fail=1; }
fi

system_dlls=" advapi32.dll comctl32.dll comdlg32.dll crypt32.dll d2d1.dll dwrite.dll dxgi.dll gdi32.dll imm32.dll
 kernel32.dll msimg32.dll msvcrt.dll ole32.dll oleaut32.dll opengl32.dll rpcrt4.dll setupapi.dll shell32.dll
 shlwapi.dll user32.dll uxtheme.dll version.dll winhttp.dll wininet.dll winmm.dll ws2_32.dll wsock32.dll dwmapi.dll
 shcore.dll iphlpapi.dll bcrypt.dll "
imports=$(printf '%s\n' "$tables" | awk '/DLL Name:/ { print tolower($3) }' | sort -u)
[ -n "$imports" ] || { echo "FAIL: no import table found"; fail=1; }
echo "imports: $(echo $imports)"
for dll_name in $imports; do
    case " $(echo $system_dlls) " in
        *" $dll_name "*) ;;
        *) echo "FAIL: imports $dll_name, which is not a Windows system DLL"; fail=1 ;;
    esac
done

exit $fail
