# Run by CPack before it packs: Debian's zsh reads a package's completions from
# vendor-completions, not from zsh's own site-functions.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(zsh "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/share/zsh")
  file(MAKE_DIRECTORY "${zsh}/vendor-completions")
  file(RENAME "${zsh}/site-functions/_morek" "${zsh}/vendor-completions/_morek")
  file(REMOVE_RECURSE "${zsh}/site-functions")
endif()
