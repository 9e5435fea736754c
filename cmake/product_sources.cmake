# Product sources, one file per job (see the folder layout in README.md).
set(PRODUCT_SOURCES
  app/app_context.cpp
  app/command_line.cpp
  app/dll_search.cpp
  app/environment.cpp
  app/messages.cpp
  app/placeholders.cpp
  app/product_settings.cpp
  app/win_main.cpp
  app/wow64_relaunch.cpp
  sysaccess/path_text.cpp
  sysaccess/reg_info.cpp
  sysaccess/reg_key.cpp
  sysaccess/system_folders.cpp
  sysaccess/version_info.cpp
  removal/device_instances.cpp
  removal/device_metadata_removal.cpp
  removal/driver_packages.cpp
  removal/driver_services.cpp
  removal/remove_drivers.cpp
  removal/uninst_file.cpp
  install/device_metadata.cpp
  install/install_sequence.cpp
  install/media_folders.cpp
  install/oem_inf_store.cpp
)
set(PRODUCT_INCLUDE_DIRS ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/res)
