# bash completion for morek                                  -*- shell-script -*-

_morek() {
    local cur prev words cword split
    _init_completion -s || return

    # One line an option: the option, and after its = what the value can be:
    # the words to offer, @files or @dirs, or nothing for the user's own.
    local options='
-c
-t
-b
-i
--in-place
--check
--diff
--format=names gcc github json sarif checkstyle
--color=auto always never
-j
--jobs=
--changed
--changed=
--changed-lines
--changed-lines=
--include=
--exclude=@files
--exclude-dir=@dirs
--all-files
--editorconfig
--show-settings
--stdin-filename=@files
--spaces
--indent-only
--lang=c java kotlin csharp swift dart js ts go rust php python shell ruby perl yaml json toml text auto
--utf8
--sjis
--latin1
--eol=crlf lf keep
--help
--version
-usage
'

    local line
    if [[ $split == true ]]; then
        while read -r line; do
            [[ $line == "$prev="* ]] || continue
            case ${line#*=} in
            @files) _filedir ;;
            @dirs) _filedir -d ;;
            *) mapfile -t COMPREPLY < <(compgen -W "${line#*=}" -- "$cur") ;;
            esac
            return
        done <<<"$options"
        return
    fi

    # morek's options are its leading words that begin with a dash, up to
    # "--"; then come the widths (none under --editorconfig, one under
    # --spaces) and the files. The file modes take files and directories, as
    # many as given; the filter reads one file, and --stdin-filename none.
    local i word ended=false file_mode=false widths=2 spaces=false editorconfig=false operands=0 number=false
    local stdin=false
    for ((i = 1; i < cword; i++)); do
        word=${words[i]}
        if $number; then
            number=false # -j's number, a word of its own
        elif ! $ended && [[ $word == -* ]]; then
            case $word in
            --) ended=true ;;
            -i | --in-place | --check | --diff | --show-settings) file_mode=true ;;
            --editorconfig) editorconfig=true ;;
            --spaces) spaces=true ;;
            --stdin-filename=*) stdin=true ;;
            --* | -b* | -usage) ;;
            -*j)
                number=true
                [[ $word == *i* ]] && file_mode=true
                ;;
            -*i*) file_mode=true ;;
            esac
        else
            ended=true
            operands=$((operands + 1))
        fi
    done
    $spaces && widths=1
    $editorconfig && widths=0

    if $number || { ! $ended && [[ $cur == -b* || $cur == -[!-]*j* ]]; }; then
        COMPREPLY=() # the number of -b or -j
    elif ! $ended && [[ $cur == -* ]]; then
        local names=()
        while read -r line; do
            [[ -n $line ]] || continue
            [[ $line == *=* ]] && line=${line%%=*}=
            names+=("$line")
        done <<<"$options"
        mapfile -t COMPREPLY < <(compgen -W "${names[*]}" -- "$cur")
        [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace
    elif ((operands < widths)) || $stdin; then
        COMPREPLY=() # a tab width, or nothing more
    elif $file_mode || ((operands == widths)); then
        _filedir
    fi
} &&
    complete -F _morek morek

# ex: filetype=sh
