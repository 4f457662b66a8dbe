# a multi-line variable keeps every blank of its lines
define BODY
  first   line   
	second	line
    third   line
endef
export BODY

all:
	@printf '%s\n' "$$BODY"
	@echo '$(subst  ,_,a  b)'
