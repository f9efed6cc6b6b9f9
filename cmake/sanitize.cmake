# Sanitizer build: AddressSanitizer (with LeakSanitizer) and UndefinedBehaviorSanitizer
# for every target, with the first undefined-behaviour report ending the process.
if(ZAVIT_SANITIZE)
  set(ZAVIT_SANITIZE_FLAGS
    -fsanitize=address,undefined
    -fno-sanitize-recover=undefined
    -fno-omit-frame-pointer)
  add_compile_options(${ZAVIT_SANITIZE_FLAGS} -g)
  add_link_options(${ZAVIT_SANITIZE_FLAGS})
endif()
