# bash completion for calverdon-cli: its subcommands, their options, file
# and folder arguments, and the code types of barcode --type. Works with
# the bash-completion package's helpers when they are loaded and with plain
# bash otherwise.

_calverdon_cli_files()
{
    # $1: -d for folders only, nothing for files and folders.
    if declare -F _filedir >/dev/null; then
        _filedir ${1:+"$1"}
        return
    fi
    compopt -o filenames 2>/dev/null
    local IFS=$'\n'
    COMPREPLY=($(compgen ${1:--f} -- "$cur"))
}

_calverdon_cli()
{
    local cur prev words cword
    if declare -F _init_completion >/dev/null; then
        _init_completion || return
    else
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
        cur=${words[cword]}
        prev=${words[cword-1]}
        # Plain bash splits "--type=co" at the "=" into three words.
        if [[ $cur == = ]]; then
            cur=
        elif [[ $prev == = ]]; then
            prev=${words[cword-2]}
        fi
    fi

    local subcommands="decode encode check barcode version phonetik distance extract mail"
    local sub= i
    for ((i = 1; i < cword; i++)); do
        if [[ " $subcommands " == *" ${words[i]} "* ]]; then
            sub=${words[i]}
            break
        fi
    done

    # The value of the option before the cursor.
    case $sub:$prev in
        barcode:--type)
            COMPREPLY=($(compgen -W "code128 ean128 code39 2of5i" -- "$cur"))
            return
            ;;
        mail:-o | mail:--output)
            _calverdon_cli_files -d
            return
            ;;
        *:-o | *:--output | mail:--mbox)
            _calverdon_cli_files
            return
            ;;
        extract:-C | extract:--directory | extract:--keep-incomplete | extract:--waiting)
            _calverdon_cli_files -d
            return
            ;;
        encode:--kb | barcode:--dpi | barcode:--module | barcode:--height | barcode:--rotation | \
            barcode:--max-width | barcode:--margin | phonetik:--max | mail:--to | mail:--from | mail:--subject | \
            mail:--kb | mail:--mail-size | mail:--only-parts | mail:--chain-id | extract:--forget-older-than)
            return
            ;;
    esac

    local options
    case $sub in
        "") options="-h --help --version" ;;
        decode) options="-o --output -y --yes -h --help" ;;
        encode) options="-o --output --kb -y --yes -h --help" ;;
        barcode) options="--type --dpi --module --height --rotation --max-width --alternate-end --margin -o --output
                          -h --help" ;;
        phonetik) options="--max -h --help" ;;
        extract) options="-C --directory -y --yes -n --dry-run --keep-incomplete --waiting --forget-older-than -v
                          --verbose -h --help" ;;
        mail) options="--to --from --subject --kb --mail-size -o --output --mbox --sendmail --only-parts --chain-id
                       -y --yes -h --help" ;;
        *) options="-h --help" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi

    # Arguments: subcommands first, then files for those that read files.
    case $sub in
        "") COMPREPLY=($(compgen -W "$subcommands" -- "$cur")) ;;
        decode | encode | check | version | extract | mail) _calverdon_cli_files ;;
    esac
} &&
    complete -F _calverdon_cli calverdon-cli
