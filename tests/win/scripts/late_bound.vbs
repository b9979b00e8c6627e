' The component driven late-bound from VBScript.
Option Explicit
Dim failures, a, v
failures = 0
Sub Check(cond, what)
    If Not cond Then
        failures = failures + 1
        WScript.Echo "FAIL: " & what
    End If
End Sub

On Error Resume Next
Set a = CreateObject("Veridane.FoliumFun.1")
Check Err.Number = 0, "CreateObject by ProgID"
Err.Clear
v = a.Version
Check Err.Number = 0 And v = "1.0.0.1", "Version reads 1.0.0.1"
Err.Clear
a.FileName = "文档.pdf"
a.MaxFileSize = 100
a.ShowTools = False
Check Err.Number = 0, "property writes of every type"
Err.Clear
a.GetPageSize
Check Err.Number <> 0, "a missing argument raises"
Err.Clear
a.NoSuchMember
Check Err.Number <> 0, "an unknown member raises"
Err.Clear
a.GotoLastPage
Check Err.Number = 0, "a method without arguments"
Err.Clear
Set a = Nothing
On Error GoTo 0

If failures = 0 Then
    WScript.Echo "VERDICT PASS late_bound.vbs"
    WScript.Quit 0
Else
    WScript.Echo "VERDICT FAIL late_bound.vbs: " & failures & " failed"
    WScript.Quit 1
End If
