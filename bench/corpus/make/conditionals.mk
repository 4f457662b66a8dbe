# lines inside a conditional may be indented with spaces
A =
ifeq ($(A),)
  B = two   spaces  before
  C := "quoted   value"
else
  B = other
endif
ifdef B
    $(info [$(B)] [$(C)])
endif

all:
	@echo '[$(B)]'
