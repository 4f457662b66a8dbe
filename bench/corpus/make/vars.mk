# the blanks of a variable's value are part of it, up to a comment
X = a  b   # c
Y := tab	separated   value
Z  =   leading  blanks
W = trailing     
EMPTY :=
SPACE := $(EMPTY) $(EMPTY)
V = $(X)$(SPACE)|
$(info [$(X)] [$(Y)] [$(Z)] [$(W)])

all:
	@echo '[$(X)]' '[$(Y)]' '[$(V)]'
	@printf '%s\n' "[$(W)]"
