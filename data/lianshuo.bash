# bash completion for lianshuo: commands, options, service names and the names
# of the saved custom interfaces, read from the settings file that the command
# line being completed would use (--settings, else LIANSHUO_SETTINGS, else the
# usual file). Each option list below follows `lianshuo --help`.

# The saved interfaces' names, one a line. $1 is the program, $2 a --settings value.
_lianshuo_interface_names() {
    local program=${1/#\~/$HOME} settings=$2
    [[ $program == */* ]] || program=$(type -P "$program") || return
    if [[ -n $settings ]]; then
        "$program" --settings "${settings/#\~/$HOME}" interfaces list 2>/dev/null
    else
        "$program" interfaces list 2>/dev/null
    fi
}

# The presets' names, one a line. $1 is the program.
_lianshuo_preset_names() {
    local program=${1/#\~/$HOME}
    [[ $program == */* ]] || program=$(type -P "$program") || return
    "$program" interfaces presets 2>/dev/null | cut -f1
}

# Sets COMPREPLY to the words of $1 (one a line) that begin with $2.
_lianshuo_reply() {
    local word
    while IFS= read -r word; do
        [[ -n $word && $word == "$2"* ]] && COMPREPLY+=("$word")
    done <<<"$1"
}

_lianshuo() {
    local global='--help --version --settings --new-instance'
    local shared='--settings --service --interface --interval --retries --jobs --token --quiet --verbose
                  --no-history --refresh --add-query --verify'
    local convert='--input --clipboard --copy --json --save-dir --no-save --shorten-short --hosts'
    local files='--pattern --search --white --no-white --white-regex --black --no-black --black-regex
                 --shorten-short --hosts --expand --migrate-from'
    local expand='--settings --input --jobs --json --hosts --retries --no-history --quiet'
    local add='--preset --host --token --name --address --method --body --header --format --utf8
               --extract --expression --left --right --reverse --replace --prefix --suffix --error
               --success --success-rule --throttle-rule --pause --username --password --token-url
               --token-method --token-header --token-format --token-body --token-path --token-ttl
               --result-template --fallback'
    local with_value='--settings --service --interface --interval --retries --jobs --token --input --save-dir
                      --pattern --white --black --since --before --preset --host --name --address
                      --method --body --header --format --extract --expression --left --right
                      --replace --prefix --suffix --error --success --success-rule --throttle-rule
                      --pause --png --size --username --password --token-url --token-method
                      --token-header --token-format --token-body --token-path --token-ttl
                      --add-query --result-template --fallback --hosts --migrate-from'
    local services='custom baidu weibo tinyurl'
    local actions='list show export import delete presets add test'
    local history_actions='list export forget check'

    local cur=${COMP_WORDS[COMP_CWORD]-} option=
    # COMP_WORDBREAKS splits "--service=weibo" into "--service" "=" "weibo".
    if [[ $cur == = ]]; then
        option=${COMP_WORDS[COMP_CWORD - 1]} cur=
    elif ((COMP_CWORD >= 2)) && [[ ${COMP_WORDS[COMP_CWORD - 1]} == = ]]; then
        option=${COMP_WORDS[COMP_CWORD - 2]}
    elif ((COMP_CWORD >= 1)); then
        option=${COMP_WORDS[COMP_CWORD - 1]}
    fi
    [[ " ${with_value//$'\n'/ } " == *" $option "* ]] || option=

    # The command, its other words and --settings, from the words before the cursor.
    local command= settings= only_words= i word
    local -a words=()
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ -z $only_words && ($word == --* || $word == -h) ]]; then
            if [[ $word == -- ]]; then
                only_words=1
            elif [[ " ${with_value//$'\n'/ } " == *" $word "* ]]; then
                [[ ${COMP_WORDS[i + 1]-} == = ]] && i=$((i + 1))
                i=$((i + 1))
                [[ $word == --settings && $i -lt $COMP_CWORD ]] && settings=${COMP_WORDS[i]}
            fi
        elif [[ -z $command ]]; then
            command=$word
        else
            words+=("$word")
        fi
    done

    COMPREPLY=()
    case $option in
        --service) _lianshuo_reply "${services// /$'\n'}" "$cur" ;;
        --interface | --fallback)
            _lianshuo_reply "$(_lianshuo_interface_names "${COMP_WORDS[0]}" "$settings")" "$cur" ;;
        --preset) _lianshuo_reply "$(_lianshuo_preset_names "${COMP_WORDS[0]}")" "$cur" ;;
        --method) _lianshuo_reply $'GET\nPOST\nPUT\nPATCH' "$cur" ;;
        --format) _lianshuo_reply $'form\njson\nmultipart\nraw' "$cur" ;;
        --token-method) _lianshuo_reply $'GET\nPOST' "$cur" ;;
        --token-format) _lianshuo_reply $'form\njson' "$cur" ;;
        --extract) _lianshuo_reply $'cut\njson\nregex\nheader' "$cur" ;;
        --settings | --input | --png)
            compopt -o filenames 2>/dev/null
            _lianshuo_reply "$(compgen -f -- "$cur")" "$cur" ;;
        --save-dir)
            compopt -o filenames 2>/dev/null
            _lianshuo_reply "$(compgen -d -- "$cur")" "$cur" ;;
        ?*) ;;  # a free value: an interval, a token, a pattern, a list
        *)
            local options=
            case $command in
                '') options=$global ;;
                convert) options="$shared $convert" ;;
                files) options="$shared ${files//$'\n'/ }" ;;
                expand) options=$expand ;;
                interfaces)
                    case ${words[0]:-} in
                        add) options="--settings ${add//$'\n'/ }" ;;
                        export) options='--settings --with-token' ;;
                        test) options='--settings --retries --verbose --json' ;;
                        *) options='--settings' ;;
                    esac
                    ;;
                history)
                    case ${words[0]:-} in
                        forget) options='--settings --service --before' ;;
                        export) options='--settings --service --since --plain' ;;
                        check) options='--settings --service --since --before --jobs --retries' ;;
                        *) options='--settings --service --since' ;;
                    esac
                    ;;
                qr) options='--png --size' ;;
            esac
            if [[ $cur == -* && -z $only_words ]]; then
                _lianshuo_reply "${options// /$'\n'}" "$cur"
            elif [[ -z $command ]]; then
                _lianshuo_reply $'convert\nexpand\nfiles\ninterfaces\nhistory\nqr' "$cur"
            elif [[ $command == files ]]; then
                compopt -o filenames 2>/dev/null
                _lianshuo_reply "$(compgen -d -- "$cur")" "$cur"
            elif [[ $command == interfaces ]]; then
                case ${words[0]:-}:${#words[@]} in
                    :0) _lianshuo_reply "${actions// /$'\n'}" "$cur" ;;
                    show:1 | export:1 | delete:1 | test:1)
                        _lianshuo_reply "$(_lianshuo_interface_names "${COMP_WORDS[0]}" "$settings")" "$cur" ;;
                    import:1 | export:2)
                        compopt -o filenames 2>/dev/null
                        _lianshuo_reply "$(compgen -f -- "$cur")" "$cur" ;;
                esac
            elif [[ $command == history ]]; then
                case ${words[0]:-}:${#words[@]} in
                    :0) _lianshuo_reply "${history_actions// /$'\n'}" "$cur" ;;
                    export:1)
                        compopt -o filenames 2>/dev/null
                        _lianshuo_reply "$(compgen -f -- "$cur")" "$cur" ;;
                esac
            fi
            ;;
    esac
    return 0
}

complete -F _lianshuo lianshuo
