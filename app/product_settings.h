// The optional settings file "210QX_USB.ini" beside the program: the
// phone's series name, the product category named in the messages, and an
// icon file.
#pragma once

// Reads the settings into the application context and registers the
// placeholders "<%SERIES%>" and "<%CATEGORY%>". Needs InitAppContext first.
void LoadProductSettings();

// Registers the two placeholders with the context's series and category.
void RegisterPlaceholders();
