# The maker's identity, defined once and handed to the code as compile definitions.
# Until the maker's real domain is set, everything points at a reserved example
# domain (RFC 2606) that never resolves, so no build talks to a stranger's server.

set (OLVAR_MAKER_DOMAIN "ravek-audio.example" CACHE STRING "The maker's web domain")
set (OLVAR_MAKER_WEBSITE "https://www.${OLVAR_MAKER_DOMAIN}" CACHE STRING "The maker's web site")
set (OLVAR_MAKER_EMAIL "support@${OLVAR_MAKER_DOMAIN}" CACHE STRING "The maker's support address")
set (OLVAR_UPDATE_ENDPOINT "${OLVAR_MAKER_WEBSITE}/olvar_update.php"
     CACHE STRING "Address asked once per instance whether a newer version exists")
set (OLVAR_LV2_URI "${OLVAR_MAKER_WEBSITE}/plugins/olvar" CACHE STRING "The LV2 plug-in URI")

# Reverse-domain bundle identifier: the domain's labels reversed, then ".Olvar".
string (REPLACE "." ";" _olvar_domain_labels "${OLVAR_MAKER_DOMAIN}")
list (REVERSE _olvar_domain_labels)
list (JOIN _olvar_domain_labels "." _olvar_reversed_domain)
set (OLVAR_BUNDLE_ID "${_olvar_reversed_domain}.Olvar")
