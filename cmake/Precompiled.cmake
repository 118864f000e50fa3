# Qt Core's and the standard library's headers that most files include, parsed once per build
# instead of once per file. A precompiled header serves only files built with the options it was
# built with: the program's libraries share one, the tests (built without optimisation) another.
# Each is built by a target of its own with nothing but Qt Core's definitions, so that files
# with more definitions (other Qt modules, the tests' own) can use it: these headers do not look
# at them. ccache cannot cache a file built with a precompiled header, so a build through a
# compiler launcher goes without by default.
if(CMAKE_CXX_COMPILER_LAUNCHER)
    set(fq_precompiled_default OFF)
else()
    set(fq_precompiled_default ON)
endif()
option(FERNQUILL_PCH "Precompile the most used Qt Core and standard headers"
       ${fq_precompiled_default})
if(FERNQUILL_PCH)
    # A precompiled header the compiler cannot use is an error, not a slower build.
    target_compile_options(fq_warnings INTERFACE -Winvalid-pch)
endif()

set(FQ_PRECOMPILED_HEADERS
    <QtCore/qbytearray.h> <QtCore/qcoreapplication.h> <QtCore/qdatetime.h>
    <QtCore/qdeadlinetimer.h> <QtCore/qelapsedtimer.h> <QtCore/qfile.h> <QtCore/qfileinfo.h>
    <QtCore/qhash.h> <QtCore/qlist.h> <QtCore/qmetaobject.h> <QtCore/qobject.h>
    <QtCore/qprocess.h> <QtCore/qregularexpression.h> <QtCore/qscopeguard.h>
    <QtCore/qstring.h> <QtCore/qstringlist.h> <QtCore/qtemporarydir.h> <QtCore/qthread.h>
    <QtCore/qvariant.h>
    <algorithm> <atomic> <chrono> <functional> <memory> <mutex> <optional> <stdexcept> <thread>
    <vector>)

# fq_precompiled(<name> [<compile option>...]): the target that builds the headers with these
# options, for fq_use_precompiled.
function(fq_precompiled name)
    set(source "${CMAKE_CURRENT_BINARY_DIR}/${name}.cpp")
    file(CONFIGURE OUTPUT "${source}" CONTENT "// The target of the precompiled headers.\n")
    add_library(${name} OBJECT "${source}")
    target_link_libraries(${name} PRIVATE Qt6::Core fq_warnings)
    target_compile_options(${name} PRIVATE ${ARGN})
    set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
    if(FERNQUILL_PCH)
        target_precompile_headers(${name} PRIVATE ${FQ_PRECOMPILED_HEADERS})
    endif()
endfunction()

# fq_use_precompiled(<name> <target>...): the targets, built with the same options, use them.
function(fq_use_precompiled name)
    if(FERNQUILL_PCH)
        foreach(target IN LISTS ARGN)
            target_precompile_headers(${target} REUSE_FROM ${name})
        endforeach()
    endif()
endfunction()
