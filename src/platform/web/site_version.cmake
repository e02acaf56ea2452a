# Writes the site's service worker (cmake -P, after every build of the site): SITE is
# the site folder, TEMPLATE sw.js as written, FILES the site's files. The version is a
# digest of those files, so a new build is a new worker and browsers update their copy.
set(digests "")
set(list "")
foreach(name ${FILES})
  file(SHA256 "${SITE}/${name}" digest)
  string(APPEND digests "${digest}")
  if(list)
    string(APPEND list ", ")
  endif()
  string(APPEND list "'${name}'")
endforeach()
string(SHA256 version "${digests}")
string(SUBSTRING "${version}" 0 16 TONKALO_SITE_VERSION)
set(TONKALO_SITE_FILES "${list}")
configure_file("${TEMPLATE}" "${SITE}/sw.js" @ONLY)
