// raw strings: three quotes or more, and interpolated raw strings
class RawStrings {
    static string A = """
        raw   "string"   
          indented	
        """;
    static string B = """"
        holds """   three  
        """";
    static string C = $$"""
        {{A.Length}}   {not}  
        """;
    static void Main() => System.Console.WriteLine($"[{A}] [{B}] [{C}]");
}
