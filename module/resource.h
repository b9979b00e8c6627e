#pragma once
#define IDS_PROJNAME        100
#define IDR_FOLIUMADDIN     101
#define IDR_FOLIUMFUN       106
#define FOLIUM_VERSION_BIN  1,0,0,1
#define FOLIUM_VERSION_TEXT "1.0.0.1"
