#include "settings.hpp"

namespace morek {

int BUFSIZE = 4096;
constinit thread_local int tab1 = 8;
constinit thread_local int tab2 = 8;
constinit thread_local int ign_str = 0;
constinit thread_local literal_lexer* literals = nullptr;
constinit thread_local int utf8_input = 0;
constinit thread_local int latin1_input = 0;
constinit thread_local int spaces_only = 0;
constinit thread_local int indent_only = 0;
constinit thread_local int make_lines = 0;
constinit thread_local int yaml_lines = 0;
constinit thread_local eol_mode line_ends = eol_mode::text;

}  // namespace morek
