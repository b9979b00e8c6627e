' The component driven late-bound from VBScript. VBScript hands a variable to a member
' by reference (a VT_BYREF VARIANT), its small integers as VT_I2 and True as -1, so the
' component must read each argument by its type.
Option Explicit
Dim failures, fso, sim, app, folium, doc, page, mode, pin, pos, v
failures = 0
Sub Check(cond, what)
    If Not cond Then
        failures = failures + 1
        WScript.Echo "FAIL: " & what
    End If
End Sub
Set fso = CreateObject("Scripting.FileSystemObject")
Set sim = CreateObject("Quirex.Simulator.1")
sim.Reset
Check sim.LoadAddIn("Veridane.FoliumFun.1") = 0, "the reader connects the component"
sim.AddStandIn "Veridane.Folium2015"
Set app = sim.Application
Set folium = app.COMAddIns.Item("Veridane.FoliumFun.1").Object
Set doc = app.Documents.Open(fso.BuildPath(fso.GetParentFolderName(WScript.ScriptFullName), "..\data\seals.pdf"))

v = folium.Version
Check TypeName(v) = "String" And v = "1.0.0.1", "Version is the string 1.0.0.1, got " & TypeName(v) & " " & v
' Every argument a variable, so every one arrives by reference.
page = 2
mode = 1
pin = "123456"
pos = "300*400"
Check folium.CreateSignature(1, pin, page, mode, pos, "") = 0, "a seal from by-reference arguments"
Check folium.SignatureCount() = 1, "one seal, counted " & folium.SignatureCount()
Check doc.Pages.Item(1).Annotations.Count = 1, "the seal is on page 2"
mode = 3
Check folium.CreateSignature(1, pin, page, mode, pos, "") = 1, "mode 3 by reference is refused"
v = folium.SignatureCount()
Check TypeName(v) = "Long" And v = 1, "the count is a Long 1, got " & TypeName(v) & " " & v

' An error here is caught and checked; anywhere else it ends the script without its
' verdict line, which fails the test.
On Error Resume Next
folium.GetPageSize
Check Err.Number <> 0, "a missing argument raises"
Err.Clear
folium.NoSuchMember
Check Err.Number <> 0, "an unknown member raises"
Err.Clear
folium.GetPageSize Array(1), 1
Check Err.Number <> 0, "an array for a long raises"
Err.Clear
folium.GotoLastPage
Check Err.Number = 0, "a method without arguments, got " & Hex(Err.Number)
On Error GoTo 0

sim.UnloadAddIn "Veridane.FoliumFun.1"
app.Documents.Close
Set folium = Nothing
Set app = Nothing
sim.Reset

If failures = 0 Then
    WScript.Echo "VERDICT PASS late_bound.vbs"
    WScript.Quit 0
Else
    WScript.Echo "VERDICT FAIL late_bound.vbs: " & failures & " failed"
    WScript.Quit 1
End If
