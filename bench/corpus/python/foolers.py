# quotes in comments, names that end like prefixes, and strings that hold the other quotes
br = 1; rb = 2; f = 3; u = 4  # names, not prefixes: "
s1 = f"{br + rb + f + u}   sum"
s2 = "it's   a  quote"  # don't
s3 = 'say "hi"   there'
s4 = """has ''' inside   it"""
s5 = '''has """ inside   it'''
s6 = "#   not a comment"
lam = lambda: "lambda   body"
s7 = [x for x in "ab" if x != "'"]
s8 = 'after   the  list  	'
print(repr((s1, s2, s3, s4, s5, s6, lam(), s7, s8)))
