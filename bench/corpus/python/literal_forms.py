# every prefix and quote of Python's strings, f-strings holding code and strings
x = 42
a = 'single   quoted	'
b = "double   quoted  "
c = '''triple   single
    continued   line   
	tab line'''
d = """triple   double "with" 'quotes'
  """
e = r"raw \"   escaped  quote"
f = rb'raw   bytes\'  '
g = Rb"upper   raw  bytes"
h = br'''br   triple
   x'''
i = f"f-string   {x:>6}   {'inner   quote'}  "
j = rf"raw   f {x}\d  "
k = fR'''FR  triple {x}
     next   line  '''
l = u"unicode   prefix"
m = B"upper   bytes  "
n = ("implicit   "
     "concatenation  "
          "over   lines")
o = "backslash \
    continued   string"
p = f"{'a   b'!r:>12} {x!s:<5}|  "
q = f"""{
    x
}   multi  line  f"""
r = "hash # in   string"  # comment with a quote '
print(repr((a, b, c, d, e, f, g, h, i, j, k, l, m, n, o, p, q, r)))
