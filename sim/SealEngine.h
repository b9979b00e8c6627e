// The signature engine's and the OFD signature add-in's own behaviour in their
// stand-ins: seals placed on, counted in, listed from and deleted from the active
// document as seal annotations ("Brimwell:AddSeal"), so that a page script can go
// through the whole seal workflow against the simulator.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <vector>

namespace qxsim {

class SealEngine {
public:
    explicit SealEngine(bool ofd);
    ~SealEngine();
    // A property write of the stand-in (the parameters of the next seal).
    void Put(const std::wstring& member, const VARIANT& value);
    // A method call or property read; false when the member has no behaviour.
    bool Call(const std::wstring& member, const std::vector<VARIANT>& args, VARIANT* result);

private:
    struct State;
    std::unique_ptr<State> s_;
};

}  // namespace qxsim
