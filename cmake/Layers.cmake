# The program's folders are layers: odbc/ < sql/ < commands/ < app/, with settings/ and the ui/
# seams below commands/ and ui/qt/ beside app/. Each layer's library exposes only its own folder
# to the targets that link it (through a link in the build tree), never the whole source root, so
# a file can include only the layers its library links: an include that runs up a layer does not
# compile. tests/layers.sh checks the same rule from the sources, for files no target builds yet.

# fq_layer(<target> <folder>): <folder> (relative to the source root) becomes includable as
# "<folder>/<file>.h" for <target> and everything that links it.
function(fq_layer target folder)
    string(REPLACE "/" "_" slot "${folder}")
    set(root "${PROJECT_BINARY_DIR}/layers/${slot}")
    get_filename_component(parent "${root}/${folder}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    if(NOT EXISTS "${root}/${folder}")
        file(CREATE_LINK "${PROJECT_SOURCE_DIR}/${folder}" "${root}/${folder}" SYMBOLIC)
    endif()
    target_include_directories(${target} PUBLIC "${root}")
endfunction()
