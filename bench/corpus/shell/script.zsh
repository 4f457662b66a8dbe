#!/bin/zsh
# zsh: quotes and here-documents as in sh
a="zsh   string	"
b='zsh   single  '
print -r -- "[$a] [$b]"
cat <<EOF
  zsh   heredoc   
EOF
