# a form feed at the start of a line sets Python's column back to 0
def f():
    return "before   form  feed"

def g():
    x = "indented   after"
    return x

def h():
      y = 'form   feed  mid'
    return y


print(repr(f()), repr(g()), repr(h()))
