// text blocks, characters, and a unicode escape that ends a line comment
public class Literals {
    public static void main(String[] args) {
        String a = "double   quoted	";
        char c = '"';
        char d = '\'';
        String tb = """
            text   block  \s
              indented   more
            ends""";
        // a line comment ended by an escaped newline \u000a String u = "after   the  escape";
        String v = "after   the  comment";
        System.out.println("[" + a + "] [" + c + "] [" + d + "] [" + tb + "] [" + u + "] [" + v + "]");
        int x = 10 / 2 /* " */ / 5; String w = "after   division";
        System.out.println("[" + x + "] [" + w + "]");
    }
}
