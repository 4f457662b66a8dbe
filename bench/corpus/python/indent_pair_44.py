# two depths that Python tells apart, and tabs of 4 do not
def f(a):
    	if a:
 	    return "deeper   still"
    	return 'outer   level'


print(repr(f(1)), repr(f(0)))
