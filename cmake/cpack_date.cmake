# Read by cpack before it packs: the archive members' times are the
# commit's, unless the caller chose a date.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_NORVANE_SOURCE_DATE_EPOCH})
endif()
