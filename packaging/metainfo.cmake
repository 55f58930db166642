# The AppStream data from lumivane.metainfo.xml.in: included by the build, or run with
# `cmake -D... -P` by check.sh to try the addresses the build leaves out today.
# In: PROJECT_VERSION, LUMIVANE_RELEASE_DATE, LUMIVANE_HOMEPAGE_URL, LUMIVANE_SCREENSHOT_URL
# (both may be empty), METAINFO_OUTPUT.
set(LUMIVANE_METAINFO_WEB "")
if(LUMIVANE_HOMEPAGE_URL)
    string(APPEND LUMIVANE_METAINFO_WEB
        "  <url type=\"homepage\">${LUMIVANE_HOMEPAGE_URL}</url>\n")
endif()
if(LUMIVANE_SCREENSHOT_URL)
    string(APPEND LUMIVANE_METAINFO_WEB
        "  <screenshots>\n"
        "    <screenshot type=\"default\">\n"
        "      <caption>The window with the example project</caption>\n"
        "      <image>${LUMIVANE_SCREENSHOT_URL}/window-idle.png</image>\n"
        "    </screenshot>\n"
        "    <screenshot>\n"
        "      <caption>The preview, playing the slideshow before it is rendered</caption>\n"
        "      <image>${LUMIVANE_SCREENSHOT_URL}/preview-playing.png</image>\n"
        "    </screenshot>\n"
        "    <screenshot>\n"
        "      <caption>A video being made, with its preview</caption>\n"
        "      <image>${LUMIVANE_SCREENSHOT_URL}/window-running.png</image>\n"
        "    </screenshot>\n"
        "  </screenshots>\n")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/lumivane.metainfo.xml.in ${METAINFO_OUTPUT} @ONLY)
