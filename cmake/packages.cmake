# Debian packages through CPack (`make deb`): libparticleplayer1 (the shared library),
# libparticleplayer-dev (headers, the static library, the CMake package and the pkg-config
# file) and particleplayer (the player and its scene). Configure with
# -DCMAKE_INSTALL_PREFIX=/usr -DPP_PACKAGES=ON so the files land where Debian keeps them.
set(PP_DEB_RUNTIME libparticleplayer${PROJECT_VERSION_MAJOR})
set(PP_DEB_DEV libparticleplayer-dev)
set(PP_DEB_PLAYER particleplayer)

# Every package carries its copyright and changelog, as Debian's policy asks.
set(PP_DEB_DOCS ${CMAKE_BINARY_DIR}/deb-docs)
file(MAKE_DIRECTORY ${PP_DEB_DOCS})
string(TIMESTAMP PP_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/deb/changelog.in ${PP_DEB_DOCS}/changelog.Debian @ONLY)
execute_process(COMMAND gzip -9nf ${PP_DEB_DOCS}/changelog.Debian)
foreach(component runtime dev player)
  if(component STREQUAL runtime)
    set(package ${PP_DEB_RUNTIME})
  elseif(component STREQUAL dev)
    set(package ${PP_DEB_DEV})
  else()
    set(package ${PP_DEB_PLAYER})
  endif()
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/deb/copyright ${PP_DEB_DOCS}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DOCDIR}/../${package} COMPONENT ${component}
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/deb/particleplayer.1 ${PP_DEB_DOCS}/particleplayer.1
  COPYONLY)
execute_process(COMMAND gzip -9nf ${PP_DEB_DOCS}/particleplayer.1)
install(FILES ${PP_DEB_DOCS}/particleplayer.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT player
  PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME particleplayer)
set(CPACK_PACKAGE_VENDOR "particleplayer")
set(CPACK_PACKAGE_CONTACT "particleplayer maintainers <maintainers@particleplayer.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time 2D particle effects")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev player)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY "=")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://particleplayer.invalid/")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${PP_DEB_RUNTIME})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# The linker cache is brought up to date by dpkg's ldconfig trigger, not by the scripts.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/deb/triggers
  ${CMAKE_CURRENT_LIST_DIR}/deb/postinst ${CMAKE_CURRENT_LIST_DIR}/deb/postrm)
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "real-time 2D particle effects - shared library
 The particle engine, its effect loader and its OpenGL 3.3 and SDL_Renderer
 back-ends as a library that games embed: worlds of effects on a clock the
 game drives, and their particles as a vertex array for the game's renderer.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${PP_DEB_DEV})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${PP_DEB_RUNTIME} (= ${PROJECT_VERSION}-1), libsdl2-dev, libepoxy-dev, libpng-dev, libtiff-dev, zlib1g-dev, libpugixml-dev")
set(CPACK_COMPONENT_DEV_DESCRIPTION "real-time 2D particle effects - development files
 The C++ and C headers of the particle library, its static library, its
 CMake package (find_package(particleplayer)) and its pkg-config file.")

set(CPACK_DEBIAN_PLAYER_PACKAGE_NAME ${PP_DEB_PLAYER})
set(CPACK_DEBIAN_PLAYER_PACKAGE_SECTION graphics)
set(CPACK_COMPONENT_PLAYER_DESCRIPTION "real-time 2D particle effects - player
 The particleplayer program: plays, renders, checks and inspects effect
 files, with the scene it plays by default.")

include(CPack)
