// The message server stand-in's own behaviour: DBSTEP packets posted over HTTP.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <vector>

namespace qxsim {

class RelayLink {
public:
    RelayLink();
    ~RelayLink();
    // A property write of the stand-in.
    void Put(const std::wstring& member, const VARIANT& value);
    // A method call or property read; false when the member has no behaviour.
    bool Call(const std::wstring& member, const std::vector<VARIANT>& args, VARIANT* result);

private:
    struct State;
    std::unique_ptr<State> s_;
};

}  // namespace qxsim
