// Every member with hostile arguments while the component is connected to the reader
// and a document is open, so the sweep reaches the real host walks.
#include "FamilyTestSupport.h"
#include "MemberTable.h"

using namespace testsupport;

namespace {

class ConnectedSweep : public ConnectedComponent {};

TEST_F(ConnectedSweep, NoMemberCrashesOnHostileArguments) {
    ScratchFolder scratch(L"connected-sweep");
    LONG patched = 0;
    ASSERT_EQ(sim->CaptureImports(UniqueBstr(L"FoliumAddin.dll").get(), &patched), S_OK);
    ASSERT_TRUE(Open(R"({"type":"PDF","pages":[
        {"width":595,"height":842,"text":[{"x":72,"y":700,"size":12,"text":"二〇二六年十二月六日 sweep text"}]},
        {"width":595,"height":842,"text":"second page"}],
      "bookmarks":[{"title":"One","page":1,"children":[{"title":"Two","page":2}]}],
      "fields":[{"name":"f","value":"v"}]})"));
    sim->AddAllStandIns();
    // Members that end the session or the process's state for the rest of the sweep
    // are called last, below.
    SweepEveryMember(disp.get(), {L"WebClose", L"closeFile"});
    SweepEveryMember(disp.get());
    UniqueBstr version;
    EXPECT_EQ(fun->get_Version(version.put()), S_OK);
    EXPECT_STREQ(version.c_str(), L"1.0.0.1") << "the component still answers";
    for (const wchar_t* id : {L"Veridane.Folium2015", L"Veridane.Relay", L"Veridane.Inkpad", L"Veridane.Toolkit",
                              L"Quirex.Annots", L"Quirex.OFDSignature"})
        sim->RemoveAddIn(UniqueBstr(id).get());
}

}  // namespace
