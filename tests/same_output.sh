# Sourced by the passes that run another build of the tool: compares its
# output with the native build's.
#
# same_output REFERENCE OTHER LISTS [SUB]: runs the commands REFERENCE and
# OTHER (a program, or a loader and a program; left unquoted) on copies of
# the *.xml files in LISTS and compares every byte: the combined DAT, the
# console text and exit status, then the DATs written with --per-list. With
# SUB, the copies go into that subdirectory, named as the tool's argument.
same_output() {
    local reference=$1 other=$2 lists=$3 sub=${4:-} work side command
    work=$(mktemp -d)
    for side in reference other; do
        mkdir -p "$work/$side/$sub"
        cp "$lists"/*.xml "$work/$side/$sub/"
        command=$reference
        [ "$side" = other ] && command=$other
        (cd "$work/$side" && $command ${sub:+"$sub"} >../$side.out 2>../$side.err; echo $? >../$side.status
         $command --per-list dats ${sub:+"$sub"} >../$side.per-list.out 2>../$side.per-list.err || echo $? >>../$side.status
         $command --per-list xml --xml ${sub:+"$sub"} >>../$side.per-list.out 2>>../$side.per-list.err || echo $? >>../$side.status)
    done
    local verdict=0
    for file in /all_mess_software_lists.dat .out .err .status .per-list.out .per-list.err; do
        cmp "$work/reference$file" "$work/other$file" || verdict=1
    done
    diff -r "$work/reference/dats" "$work/other/dats" >/dev/null || { echo "the --per-list DATs differ"; verdict=1; }
    diff -r "$work/reference/xml" "$work/other/xml" >/dev/null || { echo "the --per-list --xml DATs differ"; verdict=1; }
    [ "$verdict" = 0 ] && echo "identical: $(ls "$lists"/*.xml | wc -l) lists from $lists${sub:+ as $sub}, $(wc -c <"$work/reference/all_mess_software_lists.dat") DAT bytes, $(ls "$work/reference/dats" | wc -l) DATs with --per-list"
    rm -rf "$work"
    return $verdict
}
