# here-documents with a lower-case word, and every other form
x = <<eos
  lower   case  	
eos
y = <<-END
    dash   form   
    END
z = <<~SQUIGGLY
    squiggly    form
      keeps  two
  SQUIGGLY
w = <<'RAW' + <<"COOKED"
  raw   #{not}   
RAW
  cooked   #{1 + 1}
COOKED
puts "[#{x}][#{y}][#{z}][#{w}]"
v = [1]
v <<2
n = 1 << 3
puts "[#{v.inspect}] [#{n}]  [#{"shift   then  string"}]"
