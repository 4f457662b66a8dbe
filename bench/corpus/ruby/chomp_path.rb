# chomp($/) and then a slash inside a later string
line = "text   line\n"
line = line.chomp($/)
path = "dir/name"
msg  = "two   blanks	and  a tab"
more = 'single   quoted  '
puts "[#{line}] [#{path}] [#{msg}] [#{more}]"
