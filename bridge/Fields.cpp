#include "Fields.h"

#include <cwchar>

namespace folium {

UniqueBstr FieldLookupName(IQxField* field) {
    UniqueBstr name;
    field->get_FullName(name.put());
    if (name.empty()) field->get_Name(name.put());
    return name;
}

void ForEachField(IQxFields* fields, const std::function<bool(IQxField*)>& visit) {
    LONG count = 0;
    if (!fields || FAILED(fields->get_Count(&count))) return;
    for (LONG i = 0; i < count; ++i) {
        auto index = ScopedVariant::I2(static_cast<SHORT>(i));
        ComPtr<IQxField> field;
        fields->Item(*index.get(), field.put());
        if (field && !visit(field.get())) return;
    }
}

ComPtr<IQxField> FindFieldByName(IQxFields* fields, const wchar_t* name) {
    ComPtr<IQxField> found;
    const wchar_t* want = name ? name : L"";
    ForEachField(fields, [&](IQxField* field) {
        UniqueBstr lookup = FieldLookupName(field);
        if (lookup.length() == wcslen(want) && wcscmp(lookup.c_str(), want) == 0) {
            found = ComPtr<IQxField>(field);
            return false;
        }
        return true;
    });
    return found;
}

}  // namespace folium
