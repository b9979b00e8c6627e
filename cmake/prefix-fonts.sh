#!/bin/sh
# Maps the Chinese face names the component draws with onto a Chinese font installed on
# the machine (Debian's fonts-wqy-microhei), so that GDI renders the glyphs instead of
# empty boxes. Run once per prefix, after it exists.
set -e
export LC_ALL=zh_CN.UTF-8 WINEDEBUG=-all
key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes'
for face in "仿宋_GB2312" "仿宋" "SimSun" "宋体"; do
    wine reg add "$key" /v "$face" /t REG_SZ /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
done
wineserver -w
touch "$WINEPREFIX/.folium-fonts"
