#!/bin/sh
# The component may import system DLLs only: a missing runtime DLL on a user's machine
# would stop the reader from loading it.
set -e
dll=$1
allowed="advapi32 comdlg32 crypt32 gdi32 iphlpapi kernel32 msvcrt ole32 oleaut32 psapi shell32 shlwapi user32 version winhttp ws2_32 winspool.drv"
bad=0
for name in $(x86_64-w64-mingw32-objdump -p "$dll" | sed -n 's/.*DLL Name: //p' | tr 'A-Z' 'a-z'); do
    base=${name%.dll}
    case " $allowed " in
        *" $base "*|*" $name "*) echo "ok: $name" ;;
        *) echo "not a system DLL: $name"; bad=1 ;;
    esac
done
exit $bad
