# indentation that mixes tabs and spaces the way Python allows (same order at tab sizes 8 and 1)
def f(a):
    if a:
    	if a > 1:
     	    return "nested   deep"
    	return "tab   after  spaces	"
    return 'four   spaces'


def g(b):
	if b:
	    s = """tab then
	    spaces   inside   
  """
	    return s
	return "tab   only"


print(repr(f(2)), repr(f(1)), repr(f(0)), repr(g(1)), repr(g(0)))
