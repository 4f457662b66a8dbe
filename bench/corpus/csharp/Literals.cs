// verbatim, interpolated and raw strings
using System;
class Literals {
    static void Main() {
        string a = "double   quoted	";
        string b = @"verbatim   ""quoted""
    second   line   ";
        string c = $"interp   {a.Length}   {"inner   q"}";
        string d = $@"both   {a}
      lines";
        string e = "after   verbatim";
        char f = '"';
        string g = "after   the  char  ";
        Console.WriteLine($"[{a}] [{b}] [{c}] [{d}] [{e}] [{f}] [{g}]");
    }
}
