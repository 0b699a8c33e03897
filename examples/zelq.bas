Attribute VB_Name = "zelq"
' SPDX-License-Identifier: MIT
' zelq.bas: Phi(x), the standard normal distribution function, to more than
' 100 significant digits in Excel, from zelq.dll. The same module works in
' 64-bit and in 32-bit Office (VBA 7: Office 2010 and later; the 32-bit form
' of older Office is kept too).
'
' Setup
'   1. Copy zelq.dll and qfloat.dll of your Office's bitness into the folder
'      of the workbook: win64\ for 64-bit Office, win32\ for 32-bit Office
'      (File > Account > About Excel says which). Or leave them elsewhere and
'      write that folder into ZELQ_FOLDER below.
'   2. Import this module: VBA editor (Alt+F11), File > Import File.
'   3. In a cell:
'        =ZelqPhi("-1")       1.5865525393145705141476745436796207752208703...e-1
'        =ZelqPhiValue(-1)    0.158655253931457
'
' Why the module loads the DLLs itself: Windows searches for the DLLs that a
' DLL imports (zelq.dll imports qfloat.dll) by module name - Excel's own
' folder, the system folders, the current folder, PATH - and never in the
' folder of the importing DLL. So before the first call the module loads
' qfloat.dll and then zelq.dll by their full paths from one folder; the
' Declare of str_Zelq_str_Excel then finds zelq.dll already loaded. Nothing
' depends on the current folder or on PATH.

Option Explicit

' The folder of zelq.dll and qfloat.dll; empty means the workbook's folder.
Private Const ZELQ_FOLDER As String = ""

#If Win64 Then
Private Const ZELQ_BITNESS As String = "64-bit (win64)"
#Else
Private Const ZELQ_BITNESS As String = "32-bit (win32)"
#End If

' str_Zelq_str_Excel(x_VBA, deliverToVBA, x_Length) reads x_Length 16-bit
' characters at x_VBA, writes Phi(x) as 16-bit text into deliverToVBA and
' returns its length n. StrPtr hands over a string's characters in place (no
' conversion to the ANSI code page, which a ByVal String argument would make).
#If VBA7 Then
Private Declare PtrSafe Function LoadLibraryW Lib "kernel32" (ByVal lpLibFileName As LongPtr) As LongPtr
Private Declare PtrSafe Function str_Zelq_str_Excel Lib "zelq.dll" _
    (ByVal x_VBA As LongPtr, ByVal deliverToVBA As LongPtr, ByVal x_Length As Long) As Long
#Else
Private Declare Function LoadLibraryW Lib "kernel32" (ByVal lpLibFileName As Long) As Long
Private Declare Function str_Zelq_str_Excel Lib "zelq.dll" _
    (ByVal x_VBA As Long, ByVal deliverToVBA As Long, ByVal x_Length As Long) As Long
#End If

Private zelqLoaded As Boolean

' Loads one DLL by full path; returns "" or a text that names the file.
Private Function ZelqLoadFile(ByVal path As String) As String
    If LoadLibraryW(StrPtr(path)) <> 0 Then Exit Function
    Select Case Err.LastDllError
    Case 2, 3, 126
        ZelqLoadFile = "zelq: " & path & " not found; copy the " & ZELQ_BITNESS & " DLLs there"
    Case 193
        ZelqLoadFile = "zelq: " & path & " is not a " & ZELQ_BITNESS & " DLL; this Office needs the " & _
                       ZELQ_BITNESS & " one"
    Case Else
        ZelqLoadFile = "zelq: cannot load " & path & " (Windows error " & Err.LastDllError & ")"
    End Select
End Function

' Loads qfloat.dll, then zelq.dll, once; returns "" when zelq.dll is loaded,
' else a text that says what is missing and where.
Private Function ZelqLoad() As String
    Dim folder As String
    If zelqLoaded Then Exit Function
    folder = ZELQ_FOLDER
    If folder = "" Then folder = ThisWorkbook.Path
    If folder = "" Then
        ZelqLoad = "zelq: save the workbook first (its folder holds the DLLs), or set ZELQ_FOLDER"
        Exit Function
    End If
    If Right$(folder, 1) <> "\" Then folder = folder & "\"
    ZelqLoad = ZelqLoadFile(folder & "qfloat.dll")
    If ZelqLoad <> "" Then Exit Function
    ZelqLoad = ZelqLoadFile(folder & "zelq.dll")
    zelqLoaded = ZelqLoad = ""
End Function

' Phi(x) for x written as text ("-1.5", "1e-3", "-30.25"), as text of up to
' 119 characters. Text that does not read as a number gives "nan". If the
' DLLs cannot be loaded, the text says which file is missing and where.
Public Function ZelqPhi(ByVal x As String) As String
    Dim buf As String
    Dim n As Long
    ZelqPhi = ZelqLoad()
    If ZelqPhi <> "" Then Exit Function
    ' 120 characters hold every result text and its terminating NUL.
    buf = Space$(120)
    n = str_Zelq_str_Excel(StrPtr(x), StrPtr(buf), Len(x))
    ZelqPhi = Left$(buf, n)
End Function

' Phi(x) for a number x, as a double; the text of ZelqPhi when the DLLs
' cannot be loaded. Str$ and Val use the decimal point whatever the regional
' settings are, so the text passes unchanged.
Public Function ZelqPhiValue(ByVal x As Double) As Variant
    Dim t As String
    t = ZelqPhi(Trim$(Str$(x)))
    If Left$(t, 5) = "zelq:" Then
        ZelqPhiValue = t
    Else
        ZelqPhiValue = Val(t)
    End If
End Function
