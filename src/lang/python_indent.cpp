#include "python_indent.hpp"

namespace morek {

std::size_t python_indent_check::rejected_line() const {
  const python_blocks& b = reader_.blocks();
  const bool stopped_by_indentation = b.stop == python_stop::dedent || b.stop == python_stop::too_deep;
  const std::size_t at = b.first_inconsistent_line;
  if (stopped_by_indentation && (at == 0 || b.stop_line < at)) return b.stop_line;
  return at;
}

}  // namespace morek
