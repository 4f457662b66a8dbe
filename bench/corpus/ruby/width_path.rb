# a local variable, a blank and /2: division, and a slash inside a later string
width = 10
half  = width /2; path = "dir/name"
msg   = "two   blanks	and  a tab"
more  = 'single   quoted  '
puts "[#{half}] [#{path}] [#{msg}] [#{more}]"
