// The document's form-field list: a field's lookup name and the walk in list order.
#pragma once

#include <windows.h>

#include <functional>

#include "QuirexModel.h"
#include "../support/Com.h"

namespace folium {

// The field's full name, or its own name when the full name is empty.
UniqueBstr FieldLookupName(IQxField* field);

// Calls visit for each field in list order (VT_I2 indexes 0 to Count-1) until it
// answers false.
void ForEachField(IQxFields* fields, const std::function<bool(IQxField*)>& visit);

// The first field whose lookup name equals name exactly (case-sensitive); null when none.
ComPtr<IQxField> FindFieldByName(IQxFields* fields, const wchar_t* name);

}  // namespace folium
