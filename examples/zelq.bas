Attribute VB_Name = "zelq"
' zelq.bas: Phi(x), the standard normal distribution function, to about 115
' significant digits in Excel, from zelq.dll. Import this module into the
' workbook (File > Import File in the VBA editor); then a cell formula such as
'     =ZelqPhi("-1")
' shows 1.586552539314570514147674543680...e-1, and =ZelqPhiValue(A1) gives
' Phi of the number in A1 as an ordinary double.
'
' zelq.dll is a 32-bit library, so it loads only into 32-bit Office. The
' declaration therefore uses the 32-bit form: plain "Declare Function" with
' Long (32 bits) for the two string addresses. 32-bit VBA 7 (Office 2010 and
' later) accepts it as it is. "Declare PtrSafe ... As LongPtr" is the form
' 64-bit Office demands, but 64-bit Office cannot load a 32-bit DLL at all, so
' that form gains nothing here.
'
' Put zelq.dll and qfloat.dll together in one folder, and either write the
' full path into the Lib clause below (Lib "C:\zelq\zelq.dll") or make that
' folder current (ChDrive/ChDir) before the first call: Windows then finds
' qfloat.dll beside zelq.dll.

Option Explicit

' str_Zelq_str_Excel(x_VBA, deliverToVBA, x_Length): reads x_Length 16-bit
' characters at x_VBA, writes Phi(x) as 16-bit text into deliverToVBA and
' returns its length n. StrPtr hands over the characters of a VBA string
' in place (no conversion to the ANSI code page, which a ByVal String
' argument would make).
Private Declare Function str_Zelq_str_Excel Lib "zelq.dll" _
    (ByVal x_VBA As Long, ByVal deliverToVBA As Long, ByVal x_Length As Long) As Long

' Phi(x) for x written as text ("-1.5", "1e-3", "-30.25"), as text. Text that
' does not read as a number gives "nan".
Public Function ZelqPhi(ByVal x As String) As String
    Dim buf As String
    Dim n As Long
    ' 120 characters hold every result text and its terminating NUL.
    buf = Space$(120)
    n = str_Zelq_str_Excel(StrPtr(x), StrPtr(buf), Len(x))
    ZelqPhi = Left$(buf, n)
End Function

' Phi(x) for a number x, as a double. Str$ and Val use the decimal point
' whatever the regional settings are, so the text passes unchanged.
Public Function ZelqPhiValue(ByVal x As Double) As Double
    ZelqPhiValue = Val(ZelqPhi(Trim$(Str$(x))))
End Function
