# Python, named like a makefile
def build(target):
	cmd = "cc   -o  " + target
	doc = """build:
	    step   one   
	"""
	return cmd, doc


print(repr(build("x")))
