# fish completion for morek

# morek's options are its leading words that begin with a dash, up to "--";
# then come the widths (none under --editorconfig, one under --spaces) and the
# files. Prints "option" while options may follow, "width" where a tab width
# is due, "file" where a file or directory is, and nothing after the filter's
# one file or under --stdin-filename.
function __morek_position
    set -l ended 0
    set -l file_mode 0
    set -l widths 2
    set -l spaces 0
    set -l editorconfig 0
    set -l operands 0
    set -l number 0
    set -l stdin 0
    for word in (commandline -opc)[2..-1]
        if test $number = 1
            set number 0 # -j's number, a word of its own
        else if test $ended = 0; and string match -q -- '-*' $word
            switch $word
                case --
                    set ended 1
                case -i --in-place --check --diff --show-settings
                    set file_mode 1
                case --editorconfig
                    set editorconfig 1
                case --spaces
                    set spaces 1
                case '--stdin-filename=*'
                    set stdin 1
                case '--*' '-b*' -usage
                case '-*j'
                    set number 1
                    string match -q -- '*i*' $word; and set file_mode 1
                case '-*i*'
                    set file_mode 1
            end
        else
            set ended 1
            set operands (math $operands + 1)
        end
    end
    # -j's number is due: nothing to offer.
    test $number = 1; and return
    test $spaces = 1; and set widths 1
    test $editorconfig = 1; and set widths 0
    if test $ended = 0
        echo option
    end
    if test $operands -lt $widths
        echo width
    else if test $stdin = 0 -a \( $file_mode = 1 -o $operands = $widths \)
        echo file
    end
end

complete -c morek -f
complete -c morek -n '__morek_position | string match -q file' -F

# One line an option.
set -l opt complete -c morek -n '__morek_position | string match -q option'
$opt -s c -d 'leave the inside of "..." and \'...\' literals as it is'
$opt -s t -d 'cut the blanks at the end of every line'
$opt -s b -x -d 'read lines into a buffer of this many bytes'
$opt -s i -l in-place -d 'replace each file with its conversion'
$opt -l check -d 'name each file whose conversion differs'
$opt -l diff -d 'print a unified diff of each file whose conversion differs'
$opt -l format -x -a 'names gcc github json sarif checkstyle' -d 'with --check: what a file that would change shows'
$opt -l color -x -a 'auto always never' -d 'colour --diff'
$opt -s j -l jobs -x -d 'work on this many files at once'
$opt -l changed -d 'only the files that differ from a git revision (--changed=REF; default HEAD)'
$opt -l changed-lines -d 'only the lines that differ from a git revision (--changed-lines=REF; default HEAD)'
$opt -l include -x -d 'in directories, only files whose name matches'
$opt -l exclude -r -F -d 'in directories, not files whose name or path matches'
$opt -l exclude-dir -x -a '(__fish_complete_directories (commandline -ct | string replace -r -- "^--exclude-dir=" ""))' -d 'in directories, not directories that match'
$opt -l all-files -d 'in directories, also files tools write and fetched dependencies'
$opt -l editorconfig -d 'no widths: each file by its .editorconfig'
$opt -l show-settings -d 'with --editorconfig: print each file\'s settings'
$opt -l stdin-filename -r -F -d 'convert standard input as this file would be'
$opt -l spaces -d 'write no tab: every blank becomes spaces'
$opt -l indent-only -d 'convert only the blanks that indent a line'
$opt -l lang -x -a 'c java kotlin csharp swift dart js ts go rust php python shell ruby perl yaml json toml text auto' -d 'the language whose literals are kept'
$opt -l utf8 -d 'the input is UTF-8'
$opt -l sjis -d 'the input is Shift-JIS'
$opt -l latin1 -d 'every byte is a character of one column'
$opt -l eol -x -a 'crlf lf keep' -d 'end every line with CR LF, with LF, or as it came'
$opt -l help -d 'print the help and exit'
$opt -l version -d 'print the version and exit'
$opt -o usage -d 'print the help table in Japanese (Shift-JIS)'
