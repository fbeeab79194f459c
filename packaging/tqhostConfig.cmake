# find_package(tqhost): the imported targets tqhost::tqhost (shared library) and
# tqhost::tqhost_static (static; brings the C++ runtime a C host needs).
include(CMakeFindDependencyMacro)
set(THREADS_PREFER_PTHREAD_FLAG ON)
find_dependency(Threads)
include(${CMAKE_CURRENT_LIST_DIR}/tqhostTargets.cmake)
