# functions whose arguments hold blanks, and a target-specific value
LIST = one   two  three
F = $(word 2,$(LIST))   $(words $(LIST))
all: T = target   specific  
all:
	@echo '[$(F)]' '[$(T)]' '[$(strip $(LIST))]' '[$(LIST)]'
