# embedded documents and __END__
s = "before   =begin"
=begin
  documentation   "with an unclosed quote
=end
t = 'after   =end  '
puts "[#{s}] [#{t}]"
puts DATA.read
__END__
  data   after  end	
	second   line   
