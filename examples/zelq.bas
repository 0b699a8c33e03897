Attribute VB_Name = "zelq"
' SPDX-License-Identifier: MIT
' zelq.bas: the standard normal distribution to more than 100 significant
' digits in Excel, from zelq.dll: Phi(x), its inverse and their logarithms.
' One module for 64-bit and 32-bit Office 2010 and later (VBA 7) and for
' Office 2007 and earlier (VBA 6, 32-bit). Excel for Windows only: Excel for
' Mac cannot load Windows DLLs.
'
' Setup (INSTALL.txt says more)
'   1. Copy zelq.dll and qfloat.dll of your Office's bitness (File > Account
'      > About Excel says which: win64\ for 64-bit, win32\ for 32-bit) into
'      the folder of the workbook, or of the add-in, that holds this module.
'      Or put them elsewhere and write that folder into ZELQ_FOLDER below.
'   2. Import this module into a macro-enabled workbook (.xlsm) or add-in
'      (.xlam): VBA editor (Alt+F11), File > Import File.
'   3. In a cell:
'        =ZelqPhi("-1")           1.5865525393145705141476745436796207752208703...e-1
'        =ZelqPhi(-1)             the same: a number goes over as Str$ writes it
'        =ZelqInv("0.025")        -1.9599639845400542355245944305205515279555500...e0
'        =ZelqLogPhi(-40)         -8.0460844201375378816660683291860993620015...e2
'        =ZelqValue(ZelqPhi(-1))  0.158655253931457, a number
'
' Every function returns the text that zelq.dll writes ([-]d.ddd...e[-]N, up
' to 119 characters; "nan" for an argument that does not read as a number or
' lies outside the domain, "-inf" and "inf" at the ends), an argument's error
' value (#N/A stays #N/A), or, when the DLLs cannot be loaded or lack an
' entry, a text "zelq: ..." that says which file, which folder and what to
' do. No VBA run-time error reaches the cell.
'
' Why the module loads the DLLs itself: Windows searches for the DLLs that a
' DLL imports (zelq.dll imports qfloat.dll) by module name - Excel's own
' folder, the system folders, the current folder, PATH - and never in the
' folder of the importing DLL. So before the first call the module loads
' qfloat.dll and then zelq.dll by their full paths from one folder, and the
' Declares below, which name "zelq.dll" alone, find it loaded. Nothing
' depends on the current folder or on PATH.

Option Explicit

' The folder of zelq.dll and qfloat.dll; empty means the folder of the
' workbook or add-in that holds this module (ThisWorkbook, not the active
' workbook, which in an add-in is the user's).
Private Const ZELQ_FOLDER As String = ""

#If Win64 Then
Private Const ZELQ_BITNESS As String = "64-bit (win64)"
#Else
Private Const ZELQ_BITNESS As String = "32-bit (win32)"
#End If

' The 16-bit entries read their argument as x_Length 16-bit characters at
' x_VBA and write their result as at most 119 16-bit characters and a
' 16-bit NUL at deliverToVBA; they return the result's length. StrPtr hands
' over a string's own characters (a ByVal String argument would be converted
' to the ANSI code page first). LongPtr is 64 bits in 64-bit Office and 32
' in 32-bit Office; VBA 6 knows neither it nor PtrSafe and compiles only the
' #Else branch.
#If VBA7 Then
Private Declare PtrSafe Function LoadLibraryW Lib "kernel32" (ByVal lpLibFileName As LongPtr) As LongPtr
Private Declare PtrSafe Function str_Zelq_str_Excel Lib "zelq.dll" _
    (ByVal x_VBA As LongPtr, ByVal deliverToVBA As LongPtr, ByVal x_Length As Long) As Long
Private Declare PtrSafe Function ndtri_Excel Lib "zelq.dll" _
    (ByVal p_VBA As LongPtr, ByVal deliverToVBA As LongPtr, ByVal p_Length As Long, ByVal upper As Long) As Long
Private Declare PtrSafe Function ndtri_exp_Excel Lib "zelq.dll" _
    (ByVal log_p_VBA As LongPtr, ByVal deliverToVBA As LongPtr, ByVal log_p_Length As Long, _
     ByVal upper As Long) As Long
Private Declare PtrSafe Function log_ndtr_Excel Lib "zelq.dll" _
    (ByVal x_VBA As LongPtr, ByVal deliverToVBA As LongPtr, ByVal x_Length As Long, ByVal upper As Long) As Long
#Else
Private Declare Function LoadLibraryW Lib "kernel32" (ByVal lpLibFileName As Long) As Long
Private Declare Function str_Zelq_str_Excel Lib "zelq.dll" _
    (ByVal x_VBA As Long, ByVal deliverToVBA As Long, ByVal x_Length As Long) As Long
Private Declare Function ndtri_Excel Lib "zelq.dll" _
    (ByVal p_VBA As Long, ByVal deliverToVBA As Long, ByVal p_Length As Long, ByVal upper As Long) As Long
Private Declare Function ndtri_exp_Excel Lib "zelq.dll" _
    (ByVal log_p_VBA As Long, ByVal deliverToVBA As Long, ByVal log_p_Length As Long, _
     ByVal upper As Long) As Long
Private Declare Function log_ndtr_Excel Lib "zelq.dll" _
    (ByVal x_VBA As Long, ByVal deliverToVBA As Long, ByVal x_Length As Long, ByVal upper As Long) As Long
#End If

' Which entry ZelqCall calls.
Private Const ENTRY_PHI As Long = 0
Private Const ENTRY_INV As Long = 1
Private Const ENTRY_INV_LOG As Long = 2
Private Const ENTRY_LOG_PHI As Long = 3

Private zelqLoaded As Boolean

' Loads one DLL by its full path; returns "" or a text that names the file.
' LoadLibraryW takes the path as it is, in any script: the ANSI form would
' turn characters outside the code page into "?".
Private Function ZelqLoadFile(ByVal path As String) As String
    Dim failure As Long
    If LoadLibraryW(StrPtr(path)) <> 0 Then Exit Function
    ' Read at once: the next call through a Declare overwrites it.
    failure = Err.LastDllError
    Select Case failure
    Case 2, 3, 126
        ZelqLoadFile = "zelq: " & path & " not found; copy the " & ZELQ_BITNESS & " DLLs there"
    Case 193
        ZelqLoadFile = "zelq: " & path & " is not a " & ZELQ_BITNESS & " DLL, which this Office needs"
    Case Else
        ZelqLoadFile = "zelq: cannot load " & path & " (Windows error " & failure & ")"
    End Select
End Function

' Loads qfloat.dll, then zelq.dll, once; returns "" when both are loaded,
' else a text that says what is missing and where.
Private Function ZelqLoad() As String
    Dim folder As String, failure As String
    If zelqLoaded Then Exit Function
#If Mac Then
    ZelqLoad = "zelq: needs Excel for Windows; Excel for Mac cannot load Windows DLLs"
    Exit Function
#End If
    folder = ZELQ_FOLDER
    If folder = "" Then folder = ThisWorkbook.Path
    If folder = "" Then
        ZelqLoad = "zelq: save the workbook first (its folder holds the DLLs), or set ZELQ_FOLDER"
        Exit Function
    End If
    ' A workbook opened from OneDrive or SharePoint has a web address as its
    ' path, which LoadLibraryW cannot load from.
    If InStr(folder, "://") > 0 Then
        ZelqLoad = "zelq: the workbook's folder is " & folder & ", not a folder on disk; set ZELQ_FOLDER"
        Exit Function
    End If
    If Right$(folder, 1) <> "\" Then folder = folder & "\"
    failure = ZelqLoadFile(folder & "qfloat.dll")
    If failure = "" Then failure = ZelqLoadFile(folder & "zelq.dll")
    zelqLoaded = (failure = "")
    ZelqLoad = failure
End Function

' An argument as the text the DLL reads: text as it is; a number as Str$
' writes it, with a decimal point whatever the regional settings (an
' implicit conversion to String would write "-1,5" under a decimal comma);
' anything else (empty, TRUE, a range of several cells) as the empty text,
' which reads as "nan".
Private Function ZelqArgText(ByVal x As Variant) As String
    Select Case VarType(x)
    Case vbString
        ZelqArgText = x
    Case vbByte, vbInteger, vbLong, vbSingle, vbDouble, vbCurrency, vbDecimal
        ZelqArgText = Trim$(Str$(x))
    End Select
End Function

' Calls one entry on x (upper: its upper flag) and returns the result text,
' the error value in x, or a text "zelq: ..." that says what went wrong.
Private Function ZelqCall(ByVal entry As Long, ByVal x As Variant, ByVal upper As Long) As Variant
    Dim arg As String, buf As String, n As Long, failure As String
    If IsError(x) Then
        ZelqCall = x
        Exit Function
    End If
    failure = ZelqLoad()
    If failure <> "" Then
        ZelqCall = failure
        Exit Function
    End If
    arg = ZelqArgText(x)
    ' 120 characters hold every result and its NUL; Space$ makes a string of
    ' its own each time, so the DLL writes into no other string.
    buf = Space$(120)
    On Error GoTo failed
    Select Case entry
    Case ENTRY_PHI
        n = str_Zelq_str_Excel(StrPtr(arg), StrPtr(buf), Len(arg))
    Case ENTRY_INV
        n = ndtri_Excel(StrPtr(arg), StrPtr(buf), Len(arg), upper)
    Case ENTRY_INV_LOG
        n = ndtri_exp_Excel(StrPtr(arg), StrPtr(buf), Len(arg), upper)
    Case ENTRY_LOG_PHI
        n = log_ndtr_Excel(StrPtr(arg), StrPtr(buf), Len(arg), upper)
    End Select
    ZelqCall = Left$(buf, n)
    Exit Function
failed:
    failure = Choose(entry + 1, "str_Zelq_str_Excel", "ndtri_Excel", "ndtri_exp_Excel", "log_ndtr_Excel")
    If Err.Number = 453 Then ' the DLL has no such entry
        ZelqCall = "zelq: this zelq.dll has no " & failure & "; copy the DLLs that came with this module"
    Else
        ZelqCall = "zelq: " & failure & ": VBA error " & Err.Number & " (" & Err.Description & ")"
    End If
End Function

' Phi(x) = P(X <= x) for X standard normal.
Public Function ZelqPhi(ByVal x As Variant) As Variant
    ZelqPhi = ZelqCall(ENTRY_PHI, x, 0)
End Function

' The z with Phi(z) = p, for 0 <= p <= 1 ("-inf" at 0, "inf" at 1).
Public Function ZelqInv(ByVal p As Variant) As Variant
    ZelqInv = ZelqCall(ENTRY_INV, p, 0)
End Function

' The z with 1 - Phi(z) = q: the upper quantile, to full precision for the
' smallest q too.
Public Function ZelqInvUpper(ByVal q As Variant) As Variant
    ZelqInvUpper = ZelqCall(ENTRY_INV, q, 1)
End Function

' ln Phi(x), to full precision where Phi(x) itself is far below the
' smallest number a cell holds. ln(1 - Phi(x)) is ZelqLogPhi(-x).
Public Function ZelqLogPhi(ByVal x As Variant) As Variant
    ZelqLogPhi = ZelqCall(ENTRY_LOG_PHI, x, 0)
End Function

' The z with ln Phi(z) = L, for L <= 0: the inverse of ZelqLogPhi.
Public Function ZelqInvLogP(ByVal L As Variant) As Variant
    ZelqInvLogP = ZelqCall(ENTRY_INV_LOG, L, 0)
End Function

' A result text as a number for a cell, read with a decimal point whatever
' the regional settings: #NUM! for "nan", "inf" and "-inf", which a cell
' cannot hold; 0 below 1e-308, where Excel's numbers end; a text "zelq: ..."
' and an error value as they are.
Public Function ZelqValue(ByVal t As Variant) As Variant
    Dim s As String, e As Long
    If IsError(t) Then
        ZelqValue = t
        Exit Function
    End If
    s = ZelqArgText(t)
    If Left$(s, 5) = "zelq:" Then
        ZelqValue = s
        Exit Function
    End If
    e = InStr(1, s, "e", vbTextCompare)
    If s = "" Or s = "nan" Or s = "inf" Or s = "-inf" Then
        ZelqValue = CVErr(xlErrNum)
    ElseIf e > 0 And Val(Mid$(s, e + 1)) < -308 Then
        ZelqValue = 0#
    ElseIf e > 0 And Val(Mid$(s, e + 1)) > 307 Then
        ZelqValue = CVErr(xlErrNum)
    Else
        ZelqValue = Val(s)
    End If
End Function

' Phi(x) as a number: ZelqValue(ZelqPhi(x)).
Public Function ZelqPhiValue(ByVal x As Variant) As Variant
    ZelqPhiValue = ZelqValue(ZelqPhi(x))
End Function
