"""Module docstring
    with   indented  lines   
	and a tab.
"""


class A:
    """Class   docstring.

        Indented   block  inside.
    """

    def m(self):
        '''Method   docstring  '''
        return self.m.__doc__


print(repr(__doc__), repr(A.__doc__), repr(A().m()))
